#include "sfxpack_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static int counter = 0;
  const fs::path base = fs::temp_directory_path();
  root_ = (base / ("sfxpack-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter))).string();
  fs::remove_all(root_);
  fs::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  // Read-only files and folders must not keep the scratch folder alive.
  for (auto it = fs::recursive_directory_iterator(root_, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(root_, error);
}

std::string ScratchFolder::Path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

Bytes ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Bytes MakeNativeStub(size_t size) {
  Bytes stub(size, 0x90);
  const std::string block = "SFX-ARCHIVE-OFFSET:000047616";
  std::memcpy(stub.data() + size / 3, block.data(), block.size());
  return stub;
}

namespace {

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

Bytes MakePeStub(const std::string& digits) {
  Bytes image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, 0x40);
  std::memcpy(&image[0x40], "PE\0\0", 4);
  const size_t coff = 0x44;
  Put16(image, coff, 0x14C);      // i386
  Put16(image, coff + 2, 1);      // one section
  Put16(image, coff + 16, 0xE0);  // optional header size
  Put16(image, coff + 18, 0x102);
  const size_t optional = coff + 20;
  Put16(image, optional, 0x10B);
  Put32(image, optional + 92, 16);           // data directories
  Put32(image, optional + 96 + 16, 0x1000);  // resources: RVA
  Put32(image, optional + 96 + 20, 0x100);   //            size
  const size_t section = optional + 0xE0;
  std::memcpy(&image[section], ".rsrc\0\0\0", 8);
  Put32(image, section + 8, 0x200);    // virtual size
  Put32(image, section + 12, 0x1000);  // virtual address
  Put32(image, section + 16, 0x200);   // raw size
  Put32(image, section + 20, 0x200);   // raw pointer
  const size_t r = kPeResourceStart;
  // type directory -> RT_STRING
  Put16(image, r + 14, 1);
  Put32(image, r + 16, 6);
  Put32(image, r + 20, 0x80000000u | 0x18);
  // name directory -> block 1
  Put16(image, r + 0x18 + 14, 1);
  Put32(image, r + 0x18 + 16, 1);
  Put32(image, r + 0x18 + 20, 0x80000000u | 0x30);
  // language directory -> data entry
  Put16(image, r + 0x30 + 14, 1);
  Put32(image, r + 0x30 + 16, 0x409);
  Put32(image, r + 0x30 + 20, 0x48);
  // data entry: the string block at RVA 0x1058
  const uint32_t blockSize = static_cast<uint32_t>(2 * 16 + 2 * digits.size());
  Put32(image, r + 0x48, 0x1058);
  Put32(image, r + 0x48 + 4, blockSize);
  size_t at = r + 0x58;
  Put16(image, at, 0);  // string 0: empty
  at += 2;
  Put16(image, at, static_cast<uint16_t>(digits.size()));
  at += 2;
  for (char c : digits) {
    Put16(image, at, static_cast<uint8_t>(c));
    at += 2;
  }
  return image;  // strings 2..15 are the zero lengths already there
}

TRunResult RunTool(int (*command)(const Arguments&), const Arguments& args) {
  TRunResult result;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  result.exitCode = command(args);
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}

Bytes SampleData(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  const std::string words[] = {"install ", "setup ", "archive ", "\r\n", "member ", "0123 "};
  Bytes data;
  while (data.size() < size) {
    if (random() % 4 == 0) {
      data.push_back(static_cast<uint8_t>(random()));
    } else {
      const std::string& word = words[random() % 6];
      data.insert(data.end(), word.begin(), word.end());
    }
  }
  data.resize(size);
  return data;
}
