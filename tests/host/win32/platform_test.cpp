#include <gtest/gtest.h>

#include "host/convert.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

TEST(Win32Platform, SystemFolders) {
  const std::string temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(IsDirectory(temp));
  EXPECT_TRUE(IsDirectory(WindowsDirectory()));
  EXPECT_TRUE(IsDirectory(SystemDirectory()));
}

// The directory search takes the path as a pattern.
TEST(Win32Platform, ModuleFileNameIsThisProgramAndFileIsPresentMatchesWildcards) {
  const std::string program = ModuleFileName();
  EXPECT_EQ(UpperAscii(FileNameOf(program)), "TEST_HOST.EXE");
  EXPECT_TRUE(FileIsPresent(program));
  EXPECT_TRUE(FileIsPresent(DirectoryOf(program) + "test_h?st.*"));
  EXPECT_FALSE(FileIsPresent(DirectoryOf(program) + "*.no-such-extension"));
}

// No string resource means no offset text; the separator is one character of the locale.
TEST(Win32Platform, OffsetTextAndDecimalSeparator) {
  EXPECT_EQ(ArchiveOffsetText(), "");
  InitHostServices();
  EXPECT_NE(DecimalSeparator(), '\0');
}

}  // namespace
