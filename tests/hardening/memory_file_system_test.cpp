// The in-memory file system stands in for the disk in the fault walk and the fuzz targets; the
// Windows behaviour those rely on is pinned down here.
#include <gtest/gtest.h>

#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

TEST(MemoryFileSystem, ResolvesPathsAsWindowsDoes) {
  std::string resolved;
  int error = 0;
  ASSERT_TRUE(MemoryFileSystem::Resolve("C:\\Temp\\a\\..\\..\\x.exe", resolved, error));
  EXPECT_EQ(resolved, "C:\\x.exe");
  ASSERT_TRUE(MemoryFileSystem::Resolve("C:\\Temp\\\\docs/./b. \\c", resolved, error));
  EXPECT_EQ(resolved, "C:\\Temp\\docs\\b\\c");
  EXPECT_FALSE(MemoryFileSystem::Resolve("C:\\Temp\\a:b", resolved, error));
  EXPECT_EQ(error, kErrorInvalidName);
  EXPECT_TRUE(MemoryFileSystem::IsBelow("c:\\TEMP\\Sub\\x", "C:\\Temp\\"));
  EXPECT_FALSE(MemoryFileSystem::IsBelow("C:\\Temp\\..\\x", "C:\\Temp"));
  EXPECT_FALSE(MemoryFileSystem::IsBelow("C:\\Temp", "C:\\Temp"));
}

TEST(MemoryFileSystem, RefusesWhatWindowsRefuses) {
  MemoryFileSystem fs;
  fs.AddFile("C:\\T\\ro.txt", {1}, kAttrReadOnly | kAttrArchive);
  fs.AddFile("C:\\T\\hidden.txt", {1}, kAttrHidden);
  EXPECT_EQ(fs.CreateEmpty("C:\\T\\ro.txt"), kInvalidHandle);
  EXPECT_EQ(fs.LastError(), kErrorAccessDenied);
  EXPECT_EQ(fs.CreateEmpty("C:\\T\\hidden.txt"), kInvalidHandle);
  EXPECT_FALSE(fs.Remove("C:\\T\\ro.txt"));
  EXPECT_EQ(fs.CreateEmpty("C:\\Missing\\a.txt"), kInvalidHandle);
  EXPECT_EQ(fs.LastError(), kErrorPathNotFound);
  EXPECT_EQ(fs.OpenExisting("C:\\T\\none.txt", kModeReadShared), kInvalidHandle);
  EXPECT_EQ(fs.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(fs.MakeDirectory("C:\\T"));
  EXPECT_EQ(fs.LastError(), kErrorAlreadyExists);

  FileHandle written = fs.CreateEmpty("C:\\T\\new.txt");
  ASSERT_NE(written, kInvalidHandle);
  EXPECT_EQ(fs.OpenExisting("C:\\T\\NEW.TXT", kModeReadShared), kInvalidHandle);
  EXPECT_EQ(fs.LastError(), kErrorSharingViolation);
  EXPECT_FALSE(fs.Remove("C:\\T\\new.txt"));
  EXPECT_EQ(fs.SetStamp(written, 0), kErrorInvalidParameter);
  fs.Close(written);
  EXPECT_TRUE(fs.IsPresent("C:\\T\\n*.t?t"));
  EXPECT_TRUE(fs.Remove("C:\\T\\new.txt"));
}

TEST(MemoryFileSystem, SeeksReadsAndFillsUp) {
  MemoryFileSystem fs;
  fs.AddFile("C:\\a.bin", std::vector<uint8_t>{1, 2, 3, 4});
  FileHandle h = fs.OpenExisting("C:\\a.bin", kModeReadShared);
  uint8_t buffer[8];
  EXPECT_EQ(fs.Seek(h, 3, 0), 3);
  EXPECT_EQ(fs.Read(h, buffer, 8), 1);
  EXPECT_EQ(fs.Read(h, buffer, 8), 0);
  EXPECT_EQ(fs.Seek(h, -5, 1), -1);
  EXPECT_EQ(fs.Write(h, buffer, 1), -1);
  EXPECT_EQ(fs.LastError(), kErrorAccessDenied);
  fs.Close(h);

  fs.SetCapacity(6);
  h = fs.CreateEmpty("C:\\b.bin");
  EXPECT_EQ(fs.Write(h, buffer, 2), 2);
  EXPECT_EQ(fs.Write(h, buffer, 1), -1);
  EXPECT_EQ(fs.LastError(), kErrorWindowsDiskFull);
  fs.Close(h);
}

TEST(FaultyFileSystem, FailsTheChosenCallAndCounts) {
  MemoryFileSystem fs;
  FaultyFileSystem faulty(fs);
  faulty.FailAt(FsCall::MakeDirectory, 2, kErrorAccessDenied);
  EXPECT_TRUE(faulty.MakeDirectory("C:\\a"));
  EXPECT_FALSE(faulty.MakeDirectory("C:\\b"));
  EXPECT_EQ(faulty.LastError(), kErrorAccessDenied);
  EXPECT_EQ(faulty.FaultPath(), "C:\\b");
  EXPECT_TRUE(faulty.MakeDirectory("C:\\c"));
  EXPECT_EQ(faulty.Calls(FsCall::MakeDirectory), 3);
  EXPECT_FALSE(fs.HasDirectory("C:\\b"));

  faulty.FailAt(FsCall::Write, 1, kErrorWindowsDiskFull, true);
  FileHandle h = faulty.CreateEmpty("C:\\a\\x");
  EXPECT_EQ(faulty.Write(h, "ab", 2), -1);
  EXPECT_EQ(faulty.Write(h, "ab", 2), -1);
  EXPECT_FALSE(faulty.Close(h) && false);
  EXPECT_EQ(fs.OpenHandleCount(), 0);
  EXPECT_EQ(faulty.FaultsInjected(), 3);
}

}  // namespace
