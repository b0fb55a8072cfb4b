#include <gtest/gtest.h>

#include "host/paths.h"

namespace {

// Only "\" and ":" separate; "/" is an ordinary character. Names are cut to 255.
TEST(Paths, SplitAndJoin) {
  using Split = std::string (*)(const std::string&);
  const std::string n300(300, 'n'), e300 = "." + std::string(300, 'e');
  const struct { Split split; std::string path, part; } kRows[] = {
      {DirectoryOf, "C:\\WINDOWS", "C:\\"}, {DirectoryOf, "C:", "C:"},
      {DirectoryOf, "C:FILE.TXT", "C:"}, {DirectoryOf, "A\\B\\C.TXT", "A\\B\\"},
      {DirectoryOf, "NAME.TXT", ""}, {DirectoryOf, "usr/share/file", ""}, {DirectoryOf, "", ""},
      {FileNameOf, "C:\\TEMP\\", ""}, {FileNameOf, "C:\\TEMP\\SETUP.EXE", "SETUP.EXE"},
      {FileNameOf, "C:SETUP.EXE", "SETUP.EXE"}, {FileNameOf, "dir/name", "dir/name"},
      {FileNameOf, "C:\\" + n300, n300.substr(0, 255)},
      {ExtensionOf, "C:\\DIR.X\\FILE", ""}, {ExtensionOf, "A.TAR.GZ", ".GZ"},
      {ExtensionOf, "C:.INI", ".INI"}, {ExtensionOf, "X:Y", ""}, {ExtensionOf, "FILE.", "."},
      {ExtensionOf, "NOEXT", ""}, {ExtensionOf, "a/b.c/d", ".c/d"},
      {ExtensionOf, "F" + e300, e300.substr(0, 255)},
      {WithBackslash, "", ""}, {WithBackslash, "C:", "C:\\"}, {WithBackslash, "C:\\TEMP", "C:\\TEMP\\"},
      {WithBackslash, "C:\\TEMP\\", "C:\\TEMP\\"}, {WithBackslash, "dir/", "dir/\\"}};
  for (const auto& row : kRows) EXPECT_EQ(row.split(row.path), row.part) << row.path;
}

}  // namespace
