#include "tools/sfxpack/stub/stub_branding.h"

#include <algorithm>

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/pe/pe_icons.h"
#include "tools/sfxpack/pe/pe_image.h"
#include "tools/sfxpack/pe/pe_version.h"
#include "tools/sfxpack/stub/stub_image.h"

namespace {

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

void PutOffsetDigits(std::vector<uint8_t>& image, const std::string& stubPath) {
  TOffsetDigits digits;
  std::string reason;
  if (!FindOffsetDigits(image.data(), image.size(), digits, reason) ||
      digits.carrier != OffsetCarrier::PeStringResource ||
      !WriteOffsetDigits(image, digits, static_cast<uint32_t>(image.size())))
    FailOnFile(stubPath, "the rewritten stub lost its offset digits" +
                             (reason.empty() ? std::string() : ": " + reason));
}

}  // namespace

TStubBranding BrandingOf(const ParsedOptions& options) {
  TStubBranding branding;
  branding.iconFile = options.Value("--icon");
  if (options.Has("--icon") && branding.iconFile.empty()) throw EUsageError("--icon needs a file");
  for (const std::string& item : options.All("--version-info")) {
    const size_t equals = item.find('=');
    if (equals == 0 || equals == std::string::npos)
      throw EUsageError("--version-info needs KEY=VALUE, not '" + item + "'");
    const std::string key = item.substr(0, equals);
    const std::string value = item.substr(equals + 1);
    if (HasControlCharacter(key) || HasControlCharacter(value))
      throw EUsageError("--version-info '" + key + "' holds a control character");
    branding.versionStrings.emplace_back(key, value);
  }
  return branding;
}

std::vector<uint8_t> BrandStub(const std::vector<uint8_t>& stub, const std::string& stubPath,
                               const TStubBranding& branding, const std::string& outputPath) {
  try {
    PeImage image(stub);
    if (!branding.iconFile.empty()) {
      try {
        SetIconGroup(image.Resources(), ReadWholeFile(branding.iconFile));
      } catch (const EBadImage& failure) {
        FailOnFile(branding.iconFile, failure.Message());
      }
    }
    if (!branding.versionStrings.empty()) {
      std::vector<std::pair<std::string, std::string>> strings;
      const bool namesItself = std::any_of(
          branding.versionStrings.begin(), branding.versionStrings.end(),
          [](const auto& item) { return item.first == "OriginalFilename"; });
      if (!namesItself) strings.emplace_back("OriginalFilename", BaseName(outputPath));
      strings.insert(strings.end(), branding.versionStrings.begin(), branding.versionStrings.end());
      SetVersionStrings(image.Resources(), strings);
    }
    std::vector<uint8_t> rewritten = image.Build();
    PutOffsetDigits(rewritten, stubPath);
    return rewritten;
  } catch (const EBadImage& failure) {
    FailOnFile(stubPath, "cannot take an icon or version strings: " + failure.Message());
  }
}

void StampInstallerChecksum(std::vector<uint8_t>& stub, const std::vector<uint8_t>& archive) {
  if (!IsPeImage(stub.data(), stub.size())) return;
  try {
    const size_t at = ChecksumPosition(stub);
    const uint32_t sum = ImageChecksum(stub.data(), stub.size(), archive.data(), archive.size(), at);
    for (int i = 0; i < 4; ++i) stub[at + i] = static_cast<uint8_t>(sum >> (8 * i));
  } catch (const EBadImage&) {
    // Not a Windows program image after all: there is no checksum to keep.
  }
}
