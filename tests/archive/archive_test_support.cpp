#include "archive_test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive/crc32.h"
#include "host/platform.h"
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
    entries.push_back({});
    entries.back().name = m.name;
    entries.back().unpackedSize = m.unpackedSize.value_or(static_cast<int32_t>(m.content.size()));
    entries.back().attributes = m.attributes;
    entries.back().dateTime = m.dateTime;
    streams.push_back(m.stream ? *m.stream : LzhEncode(m.content.data(), m.content.size()));
  }
  return WithStub(checksums ? BuildCheckedArchiveImage(entries, streams, crcs) : BuildArchiveImage(entries, streams));
}

ArchiveBytes WithStub(const ArchiveBytes& archive) {
  ArchiveBytes image(kTestStubSize, 'S');
  image.insert(image.end(), archive.begin(), archive.end());
  return image;
}

namespace {
std::atomic<int> folderCounter{0};

std::filesystem::path Native(const std::string& path) { return std::filesystem::path(NativePath(path)); }
}  // namespace

TempFolder::TempFolder() {
  path_ = TempDirectory() + "sfx-archive-test-" + std::to_string(folderCounter++) + "-" +
          std::to_string(reinterpret_cast<uintptr_t>(this) % 100000) + "\\";
  std::error_code ignored;
  std::filesystem::remove_all(Native(path_), ignored);
  std::filesystem::create_directories(Native(path_));
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  const auto root = Native(path_);
  for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root, ignored);
}

void WriteDiskFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(Native(path).parent_path());
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool DiskFileExists(const std::string& path) { return std::filesystem::is_regular_file(Native(path)); }

std::vector<uint8_t> ReadDiskFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadDiskText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadDiskFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string text = ReadDiskText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start) + "<no line end>");
  return lines;
}
