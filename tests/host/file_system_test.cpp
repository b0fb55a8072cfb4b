// The platform's file services against a scratch folder on the real disk.
#include <gtest/gtest.h>

#include "host/files.h"
#include "tests/host/host_test_support.h"

namespace {

class FileServices : public testing::Test {
 protected:
  ScratchFolder folder_;
};

TEST_F(FileServices, ReadWriteSeekAndOpenModes) {
  const std::string path = folder_.Internal("data.bin");
  const FileHandle handle = CreateEmptyFile(path);
  ASSERT_NE(handle, kInvalidHandle);
  char buffer[16] = {};
  EXPECT_EQ(WriteFileBytes(handle, "0123456789", 10), 10);
  EXPECT_EQ(SeekFile(handle, 3, 0), 3);
  EXPECT_EQ(ReadFileBytes(handle, buffer, 4), 4);
  EXPECT_EQ(SeekFile(handle, -1, 1), 6);
  EXPECT_EQ(ReadFileBytes(handle, buffer, 16), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(ReadFileBytes(handle, buffer, 16), 0);
  EXPECT_EQ(SeekFile(handle, -2, 2), 8);
  CloseFileHandle(handle);

  const FileHandle reader = OpenExistingFile(path, kModeReadShared);
  EXPECT_EQ(WriteFileBytes(reader, "x", 1), -1);
  CloseFileHandle(reader);
  const FileHandle writer = OpenExistingFile(path, kModeWriteShared);
  EXPECT_EQ(WriteFileBytes(writer, "X", 1), 1);
  EXPECT_EQ(ReadFileBytes(writer, buffer, 1), -1);
  CloseFileHandle(writer);
  const FileHandle both = OpenExistingFile(path, 2 | 4 << 4);
  EXPECT_EQ(ReadFileBytes(both, buffer, 1), 1);
  EXPECT_EQ(WriteFileBytes(both, "Y", 1), 1);
  CloseFileHandle(both);
  EXPECT_EQ(ReadText(folder_.Path("data.bin")), "XY23456789");
  EXPECT_EQ(OpenExistingFile(path, 3), kInvalidHandle);
  CloseFileHandle(CreateEmptyFile(path));
  EXPECT_EQ(ReadText(folder_.Path("data.bin")), "");
}

TEST_F(FileServices, MissingFilesAndTheInvalidHandleFailQuietly) {
  const std::string path = folder_.Internal("missing.txt");
  EXPECT_EQ(OpenExistingFile(path, kModeReadShared), kInvalidHandle);
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorFileNotFound);
  EXPECT_EQ(OpenExistingFile(path, kModeWriteShared), kInvalidHandle);  // never creates
  EXPECT_EQ(OpenExistingFile(folder_.Internal("none\\missing.txt"), kModeReadShared), kInvalidHandle);
  EXPECT_EQ(CurrentFileSystem().LastError(), kErrorPathNotFound);
  EXPECT_EQ(OpenExistingFile(folder_.Internal(), kModeReadShared), kInvalidHandle);
  char buffer[4];
  EXPECT_EQ(ReadFileBytes(kInvalidHandle, buffer, 4), -1);
  EXPECT_EQ(WriteFileBytes(kInvalidHandle, buffer, 4), -1);
  EXPECT_EQ(SeekFile(kInvalidHandle, 0, 0), -1);
  CloseFileHandle(kInvalidHandle);
  EXPECT_NE(SetFileStamp(kInvalidHandle, 0x1F5C6000), 0);
  EXPECT_EQ(SetAttributes(path, 0), kErrorFileNotFound);
  EXPECT_EQ(SetAttributes(folder_.Internal("none\\missing.txt"), 0), kErrorPathNotFound);
}

// A file is present only with a time that a stamp can hold.
TEST_F(FileServices, DirectoriesPresenceAndRemoval) {
  const std::string directory = folder_.Internal("sub");
  EXPECT_TRUE(MakeDirectory(directory));
  EXPECT_FALSE(MakeDirectory(directory));
  EXPECT_FALSE(MakeDirectory(folder_.Internal("no\\such\\parent")));
  EXPECT_TRUE(IsDirectory(directory));
  EXPECT_FALSE(FileIsPresent(directory));
  EXPECT_FALSE(RemoveFile(directory));
  const std::string file = directory + "\\inner.txt";
  WriteText(folder_.Path("sub/inner.txt"), "x");
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_TRUE(FileIsPresent(file));
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_FALSE(RemoveFile(file));
  EXPECT_FALSE(FileIsPresent(file));
  WriteText(folder_.Path("sub/inner.txt"), "x");
  ASSERT_TRUE(SetLastWriteLocalTime(file, 1979, 6, 15, 12, 0, 0));
  EXPECT_FALSE(FileIsPresent(file));
  ASSERT_TRUE(SetLastWriteLocalTime(file, 1980, 1, 2, 0, 0, 0));
  EXPECT_TRUE(FileIsPresent(file));
}

// The stamp is local time; one without a valid date or time is refused and changes nothing.
TEST_F(FileServices, StampAndReadOnlyAttribute) {
  const std::string path = folder_.Internal("stamped.txt");
  const FileHandle handle = CreateEmptyFile(path);
  ASSERT_NE(handle, kInvalidHandle);
  EXPECT_EQ(SetFileStamp(handle, 0x1F5C6000), 0);  // 1995-10-28 12:00:00
  EXPECT_NE(SetFileStamp(handle, 0), 0);
  EXPECT_NE(SetFileStamp(handle, 0x1F800000), 0);  // month 12 + 1: 1995-13-00
  EXPECT_NE(SetFileStamp(handle, 0x1F5C0000 | 24u << 11), 0);  // 24:00
  CloseFileHandle(handle);
  EXPECT_EQ(LastWriteDosStamp(path), 0x1F5C6000u);
  EXPECT_EQ(SetAttributes(path, 1), 0);
  EXPECT_TRUE(IsReadOnly(path));
  EXPECT_EQ(SetAttributes(path, 0), 0);
  EXPECT_FALSE(IsReadOnly(path));
}

}  // namespace
