#include "sfxpack_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

ArchiveBytes MakeNativeStub(size_t size) {
  ArchiveBytes stub(size, 0x90);
  const std::string block = SFX_OFFSET_MARKER SFX_OFFSET_PLACEHOLDER;
  std::memcpy(stub.data() + size / 3, block.data(), block.size());
  return stub;
}

ArchiveBytes MakePeStub() {
  const std::string digits = SFX_OFFSET_PLACEHOLDER;
  ArchiveBytes image(0x400, 0);
  const size_t r = 0x200, optional = 0x58, section = optional + 0xE0;
  const struct { size_t at; uint32_t value; int width; } fields[] = {
      {0, 'M' | 'Z' << 8, 2}, {0x3C, 0x40, 4}, {0x40, 'P' | 'E' << 8, 4},
      {0x44, 0x14C, 2}, {0x46, 1, 2}, {0x54, 0xE0, 2}, {0x56, 0x102, 2},  // i386, one section
      {optional, 0x10B, 2}, {optional + 92, 16, 4},                       // 16 directories
      {optional + 96 + 16, 0x1000, 4}, {optional + 96 + 20, 0x100, 4},    // resources
      {section, '.' | 'r' << 8 | 's' << 16 | 'r' << 24, 4}, {section + 4, 'c', 4},
      {section + 8, 0x200, 4}, {section + 12, 0x1000, 4}, {section + 16, 0x200, 4}, {section + 20, 0x200, 4},
      {r + 14, 1, 2}, {r + 16, 6, 4}, {r + 20, 0x80000000u | 0x18, 4},                 // RT_STRING
      {r + 0x18 + 14, 1, 2}, {r + 0x18 + 16, 1, 4}, {r + 0x18 + 20, 0x80000000u | 0x30, 4},  // block 1
      {r + 0x30 + 14, 1, 2}, {r + 0x30 + 16, 0x409, 4}, {r + 0x30 + 20, 0x48, 4},      // language
      {r + 0x48, 0x1058, 4}, {r + 0x48 + 4, static_cast<uint32_t>(2 * 16 + 2 * digits.size()), 4},
      {r + 0x58 + 2, static_cast<uint32_t>(digits.size()), 2}};  // string 0 empty, 1 the digits
  for (const auto& field : fields)
    for (int i = 0; i < field.width; ++i) image[field.at + i] = static_cast<uint8_t>(field.value >> (8 * i));
  for (size_t i = 0; i < digits.size(); ++i) image[r + 0x5C + 2 * i] = static_cast<uint8_t>(digits[i]);
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
