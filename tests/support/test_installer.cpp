#include "tests/support/test_installer.h"

#include "archive/crc32.h"
#include "lzh/lzh.h"

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

ArchiveBytes MakeInstaller(const std::vector<TestMember>& members, bool checksums) {
  std::vector<TMemberEntry> entries;
  std::vector<ArchiveBytes> streams;
  std::vector<uint32_t> crcs;
  for (const TestMember& m : members) {
    crcs.push_back(Crc32(m.content.data(), m.content.size()));
    entries.push_back({m.name, m.unpackedSize.value_or(static_cast<int32_t>(m.content.size())), 0, 0, m.attributes,
                       m.dateTime});
    streams.push_back(m.stream ? *m.stream : LzhEncode(m.content.data(), m.content.size()));
  }
  return WithStub(checksums ? BuildCheckedArchiveImage(entries, streams, crcs) : BuildArchiveImage(entries, streams));
}

ArchiveBytes WithStub(const ArchiveBytes& archive) {
  ArchiveBytes image(kTestStubSize, 'S');
  image.insert(image.end(), archive.begin(), archive.end());
  return image;
}
