// The platform's file services against a scratch folder on the real disk.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "host/files.h"
#include "tests/support/scratch_folder.h"

namespace {

// Each mode gives only its access; a missing file is never created and tells why it failed.
TEST(FileServices, OpenModesAndMissingFiles) {
  ScratchFolder folder;
  const std::string path = folder.Internal("data.bin");
  WriteText(folder.Path("data.bin"), "0123456789");
  char buffer[16] = {};
  const FileHandle reader = OpenExistingFile(path, kModeReadShared);
  EXPECT_EQ(WriteFileBytes(reader, "x", 1), -1);
  EXPECT_EQ(SeekFile(reader, -2, 2), 8);
  EXPECT_EQ(ReadFileBytes(reader, buffer, 16), 2);
  CloseFileHandle(reader);
  const FileHandle writer = OpenExistingFile(path, kModeWriteShared);
  EXPECT_EQ(WriteFileBytes(writer, "X", 1), 1);
  EXPECT_EQ(ReadFileBytes(writer, buffer, 1), -1);
  CloseFileHandle(writer);
  EXPECT_EQ(ReadText(folder.Path("data.bin")), "X123456789");
  EXPECT_EQ(OpenExistingFile(path, 3), kInvalidHandle);

  EXPECT_EQ(OpenExistingFile(folder.Internal("missing"), kModeWriteShared), kInvalidHandle);
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorFileNotFound);
  EXPECT_EQ(OpenExistingFile(folder.Internal("none\\missing"), kModeReadShared), kInvalidHandle);
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorPathNotFound);
  EXPECT_EQ(SetAttributes(folder.Internal("none\\missing"), 0), kErrorPathNotFound);
  EXPECT_FALSE(Exists(folder.Path("missing")));
  EXPECT_EQ(ReadFileBytes(kInvalidHandle, buffer, 4), -1);
  EXPECT_NE(SetFileStamp(kInvalidHandle, 0x1F5C6000), 0);
}

// A stamp without a valid date or time is refused and changes nothing; a file is present only
// with a time that a stamp can hold, and never as a folder.
TEST(FileServices, StampsPresenceAndAttributes) {
  ScratchFolder folder;
  const std::string path = folder.Internal("stamped.txt");
  const std::filesystem::path native = folder.Path("stamped.txt");
  const FileHandle handle = CreateEmptyFile(path);
  EXPECT_EQ(SetFileStamp(handle, 0x1F5C6000), 0);  // 1995-10-28 12:00:00
  const auto noon = std::filesystem::last_write_time(native);
  EXPECT_EQ(SetFileStamp(handle, 0x1F5C6021), 0);  // 12:01:02
  for (uint32_t invalid : {0u, 0x1F800000u, 0x1F5C0000u | 24u << 11}) EXPECT_NE(SetFileStamp(handle, invalid), 0);
  CloseFileHandle(handle);
  const auto moved = std::filesystem::last_write_time(native) - noon;
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(moved).count(), 62);
  EXPECT_TRUE(FileIsPresent(path));
  std::filesystem::last_write_time(native, noon - std::chrono::hours(24 * 365 * 17));  // 1978
  EXPECT_FALSE(FileIsPresent(path));
  EXPECT_EQ(SetAttributes(path, 1), 0);
  EXPECT_EQ(std::filesystem::status(native).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_TRUE(MakeDirectory(folder.Internal("sub")));
  EXPECT_FALSE(MakeDirectory(folder.Internal("sub")));
  EXPECT_FALSE(FileIsPresent(folder.Internal("sub")));
  EXPECT_FALSE(RemoveFile(folder.Internal("sub")));
}

}  // namespace
