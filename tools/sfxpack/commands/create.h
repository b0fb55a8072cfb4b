// sfxpack create: files and folders, compressed, behind a stub, with the configuration
// member last.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/sfxpack/cli/options.h"
#include "tools/sfxpack/packing/config_member.h"
#include "tools/sfxpack/packing/member_date.h"
#include "tools/sfxpack/stub/stub_branding.h"

struct TCreateRequest {
  std::string output;
  std::string stub;       // as given by --stub; empty: look for the default
  // Which stub is looked for when --stub is not given: the i686 Win32 one, the x64 one
  // (--x64, for systems without 32-bit support) or the native one (--native).
  enum class StubKind { kWin32, kX64, kNative } stubKind = StubKind::kWin32;
  TConfiguration config;  // values in UTF-8; create writes them in the code page
  // --codepage; by default 1252 for a Windows (PE) stub, UTF-8 (65001) for any other.
  std::optional<int> codePage;
  int level = 0;          // 1..9
  std::vector<std::string> paths;
  std::vector<std::string> excludes;  // --exclude
  std::string filesFrom;              // --files-from: a list of paths, "-" for stdin
  std::string baseFolder;             // -C: where relative paths are read from
  TDatePolicy dates;                  // --date, SOURCE_DATE_EPOCH
  TStubBranding branding;  // --icon, --version-info: rewrite the Win32 stub's resources
};

// Built on first use: the list takes in options defined in other files, whose own static
// lists may not be constructed yet while this file's are.
const std::vector<TOptionDef>& CreateOptionList();

// Raises EUsageError for a request that makes no sense.
TCreateRequest CreateRequestOf(const ParsedOptions& options);

// Where the stub comes from: --stub; for --native the native stub beside the tool, in the
// installed ../share/sfxpack/ or in the build tree's app folder; for --x64 $SFXPACK_STUB64,
// sfxstub64.exe beside the tool, in ../share/sfxpack/, then the build tree's (a path relative
// to the tool, fixed at build time); otherwise $SFXPACK_STUB, sfxstub.exe beside the tool, in
// ../share/sfxpack/, then the build tree's. `tried` receives the places looked at when none is found.
std::string FindStub(const TCreateRequest& request, std::vector<std::string>& tried);

// Does the whole job; raises EPackError. Nothing appears at the output path unless all went
// well. Warnings go to stderr.
void CreateInstaller(const TCreateRequest& request);
