#include "tests/host/host_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

#include "host/files.h"
#include "host/platform.h"

namespace {

// The conversions depend on the start-up floating-point mode, as in the program.
struct HostServicesEnvironment : testing::Environment {
  void SetUp() override { InitHostServices(); }
};
const auto* const gEnvironment = testing::AddGlobalTestEnvironment(new HostServicesEnvironment);
int gFolderCount = 0;

}  // namespace

ScratchFolder::ScratchFolder() {
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = TempDirectory() + "sfxhost" + std::to_string(ticks % 1000000007) + "_" +
            std::to_string(++gFolderCount) + "\\";
    if (MakeDirectory(path_.substr(0, path_.size() - 1))) return;
  }
  ADD_FAILURE() << "cannot make a scratch folder in " << TempDirectory();
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_.substr(0, path_.size() - 1)); }

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  const FileHandle handle = CreateEmptyFile(path);
  ASSERT_NE(handle, kInvalidHandle) << path;
  EXPECT_EQ(WriteFileBytes(handle, bytes.data(), static_cast<int32_t>(bytes.size())),
            static_cast<int32_t>(bytes.size()));
  CloseFileHandle(handle);
}

std::string ReadWholeFile(const std::string& path) {
  const FileHandle handle = OpenExistingFile(path, kModeReadShared);
  if (handle == kInvalidHandle) return "<missing>";
  std::string bytes;
  char buffer[1000];
  for (int32_t count; (count = ReadFileBytes(handle, buffer, sizeof buffer)) > 0;)
    bytes.append(buffer, count);
  CloseFileHandle(handle);
  return bytes;
}
