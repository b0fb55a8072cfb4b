#include "sfxpack_test_support.h"

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

TRunResult RunTool(int (*command)(const Arguments&), const Arguments& args) {
  TRunResult result;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  result.exitCode = command(args);
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}
