// The installer author's icon and version strings, put into the Win32 stub by `create`.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/sfxpack/cli/options.h"

struct TStubBranding {
  std::string iconFile;  // --icon FILE.ico
  std::vector<std::pair<std::string, std::string>> versionStrings;  // --version-info KEY=VALUE

  bool Empty() const { return iconFile.empty() && versionStrings.empty(); }
};

// Reads --icon and every --version-info; raises EUsageError for a value that is not KEY=VALUE.
TStubBranding BrandingOf(const ParsedOptions& options);

// The stub with the icon and strings in its resources and its offset digits holding its new
// size. When version strings are given, OriginalFilename defaults to the installer's own file
// name. Raises EPackError naming the stub or the icon file and what is wrong with it.
std::vector<uint8_t> BrandStub(const std::vector<uint8_t>& stub, const std::string& stubPath,
                               const TStubBranding& branding, const std::string& outputPath);

// Writes the checksum of the whole installer, stub and archive, into a Win32 stub's header:
// the linker's checksum covers the bare stub only and is stale once digits or resources
// change. A stub that is no PE image is left alone.
void StampInstallerChecksum(std::vector<uint8_t>& stub, const std::vector<uint8_t>& archive);
