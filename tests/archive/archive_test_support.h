// Installers for the archive tests: members encoded with the real encoder, laid out with the
// directory writer behind a stub of a few bytes; and the real disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "host/platform.h"
#include "tests/support/scratch_folder.h"

struct TestMember {
  std::string name;
  std::vector<uint8_t> content;
  int32_t attributes = 32;
  long double dateTime = 45000.5;         // 2023-03-15 12:00
  std::optional<int32_t> unpackedSize;    // recorded size; the content's size if unset
  std::optional<ArchiveBytes> stream;     // stored stream; the encoded content if unset
};

constexpr int32_t kTestStubSize = 100;

std::vector<uint8_t> Bytes(const std::string& text);
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);
inline TestMember DataMember(const std::string& name, const std::vector<uint8_t>& content) { return {name, content}; }
inline TestMember TextMember(const std::string& name, const std::string& text) { return {name, Bytes(text)}; }
inline TestMember ConfigMember(const std::string& iniText) { return TextMember("$k$v$t$r.cnf", iniText); }

// Stub bytes followed by the archive of the members in order (the configuration member last),
// and the checksum block when asked for: each member's CRC is that of its content, whatever
// its stream holds.
ArchiveBytes MakeInstaller(const std::vector<TestMember>& members, bool checksums = false);
// Stub bytes followed by a directory alone (no data area).
ArchiveBytes WithStub(const ArchiveBytes& archive);

// The real disk, in the host's form of paths: folder / "name".
struct TempFolder : ScratchFolder {
  std::string operator/(const std::string& name) const { return Internal(name); }
};
inline void WriteDiskFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(NativePath(path), bytes);
}
inline bool DiskFileExists(const std::string& path) { return Exists(NativePath(path)); }
inline std::vector<uint8_t> ReadDiskFile(const std::string& path) { return ReadBytes(NativePath(path)); }
inline std::string ReadDiskText(const std::string& path) { return ReadText(NativePath(path)); }
std::vector<std::string> ReadLines(const std::string& path);  // CR LF lines
