#include <gtest/gtest.h>

#include "host/paths.h"

namespace {

TEST(Paths, DirectoryOfEndsAtLastBackslashOrColon) {
  EXPECT_EQ(DirectoryOf("C:\\WINDOWS"), "C:\\");
  EXPECT_EQ(DirectoryOf("C:"), "C:");
  EXPECT_EQ(DirectoryOf("C:FILE.TXT"), "C:");
  EXPECT_EQ(DirectoryOf("A\\B\\C.TXT"), "A\\B\\");
  EXPECT_EQ(DirectoryOf("NAME.TXT"), "");
  EXPECT_EQ(DirectoryOf("usr/share/file"), "");
  EXPECT_EQ(DirectoryOf(""), "");
}

TEST(Paths, FileNameOfIsTheRestCutTo255) {
  EXPECT_EQ(FileNameOf("C:\\TEMP\\"), "");
  EXPECT_EQ(FileNameOf("C:\\TEMP\\SETUP.EXE"), "SETUP.EXE");
  EXPECT_EQ(FileNameOf("C:SETUP.EXE"), "SETUP.EXE");
  EXPECT_EQ(FileNameOf("dir/name"), "dir/name");
  const std::string longName(300, 'n');
  EXPECT_EQ(FileNameOf("C:\\" + longName), longName.substr(0, 255));
}

TEST(Paths, ExtensionOfStopsAtTheFirstDotSeparatorOrColonFromTheEnd) {
  EXPECT_EQ(ExtensionOf("C:\\DIR.X\\FILE"), "");
  EXPECT_EQ(ExtensionOf("A.TAR.GZ"), ".GZ");
  EXPECT_EQ(ExtensionOf("C:.INI"), ".INI");
  EXPECT_EQ(ExtensionOf("X:Y"), "");
  EXPECT_EQ(ExtensionOf("FILE."), ".");
  EXPECT_EQ(ExtensionOf("NOEXT"), "");
  EXPECT_EQ(ExtensionOf("a/b.c/d"), ".c/d");
  const std::string longExtension = "." + std::string(300, 'e');
  EXPECT_EQ(ExtensionOf("F" + longExtension), longExtension.substr(0, 255));
}

TEST(Paths, WithBackslashAddsOneWhereMissing) {
  EXPECT_EQ(WithBackslash(""), "");
  EXPECT_EQ(WithBackslash("C:"), "C:\\");
  EXPECT_EQ(WithBackslash("C:\\TEMP"), "C:\\TEMP\\");
  EXPECT_EQ(WithBackslash("C:\\TEMP\\"), "C:\\TEMP\\");
  EXPECT_EQ(WithBackslash("dir/"), "dir/\\");
}

}  // namespace
