#include "tests/host/host_test_support.h"

#include <gtest/gtest.h>

#include "host/files.h"
#include "host/platform.h"

namespace {

// The conversions depend on the start-up floating-point mode, as in the program.
struct HostServicesEnvironment : testing::Environment {
  void SetUp() override { InitHostServices(); }
};
const auto* const gEnvironment = testing::AddGlobalTestEnvironment(new HostServicesEnvironment);

}  // namespace

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
