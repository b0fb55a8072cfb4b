#include "tools/sfxpack/installer/member_check.h"

#include <cstdio>

#include "archive/crc32.h"
#include "archive/format.h"
#include "host/exceptions.h"
#include "lzh/lzh.h"

namespace {

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

TMemberCheck DecodeMember(const TInstaller& installer, const TMember& member) {
  TMemberCheck check;
  const uint64_t end = uint64_t{installer.dataStart} + static_cast<uint32_t>(member.offset) +
                       static_cast<uint32_t>(member.storedSize);
  if (member.offset < 0 || member.storedSize < 0 || end > installer.bytes.size()) {
    check.problem = "data lies outside the file";
    return check;
  }
  try {
    check.data = LzhDecodeBuffer(installer.MemberData(member), static_cast<size_t>(member.storedSize));
  } catch (const Exception& failure) {
    check.problem = "does not decode: " + failure.Message();
    return check;
  }
  if (!DecodedSizeFits(static_cast<int64_t>(check.data.size()), member.unpackedSize)) {
    check.problem = "decodes to " + std::to_string(check.data.size()) + " bytes, " +
                    std::to_string(member.unpackedSize) + " recorded";
    return check;
  }
  check.data.resize(static_cast<size_t>(member.unpackedSize));  // as the stub, which writes no more
  if (installer.hasChecksums) {
    const uint32_t crc = Crc32(check.data.data(), check.data.size());
    if (crc != member.checksum) {
      check.problem = "checksum mismatch (CRC-32 " + Hex8(crc) + ", " + Hex8(member.checksum) + " recorded)";
      return check;
    }
  }
  check.intact = true;
  return check;
}
