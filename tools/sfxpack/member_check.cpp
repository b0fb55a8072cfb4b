#include "tools/sfxpack/member_check.h"

#include "host/exceptions.h"
#include "lzh/lzh.h"

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
  if (check.data.size() != static_cast<uint32_t>(member.unpackedSize)) {
    check.problem = "decodes to " + std::to_string(check.data.size()) + " bytes, " +
                    std::to_string(member.unpackedSize) + " recorded";
    return check;
  }
  check.intact = true;
  return check;
}
