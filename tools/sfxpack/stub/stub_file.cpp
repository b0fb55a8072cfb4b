#include "tools/sfxpack/stub/stub_file.h"

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/stub/stub_image.h"

std::vector<uint8_t> LoadStubForInstaller(const std::string& path, bool requireDigits,
                                          bool& hasDigits) {
  std::vector<uint8_t> stub = ReadWholeFile(path);
  if (stub.empty()) FailOnFile(path, "empty file, not a stub");
  TOffsetDigits digits;
  std::string reason;
  hasDigits = FindOffsetDigits(stub.data(), stub.size(), digits, reason);
  if (!hasDigits) {
    if (requireDigits) FailOnFile(path, "not usable as a stub: " + reason);
    return stub;
  }
  if (digits.digitCount != kOffsetDigitCount) {
    FailOnFile(path, "not usable as a stub: its offset text has " +
                         std::to_string(digits.digitCount) + " digits, not nine");
  }
  if (stub.size() > kLargestOffset || !WriteOffsetDigits(stub, digits, static_cast<uint32_t>(stub.size()))) {
    FailOnFile(path, "too large for the nine offset digits");
  }
  return stub;
}
