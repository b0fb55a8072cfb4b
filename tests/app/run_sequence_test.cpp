// The run sequence's parts: placeholders, the program's quoted path, the launch, the clean-up.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "app/placeholders.h"
#include "app/program_path.h"
#include "app/run_sequence.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/launch.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

// Tags match in any letter case and only the first of each kind is replaced; <TD> is the run's
// own folder; a folder the system lacks (the native build's Windows folders) expands to
// nothing, never a lone "\".
TEST(ExpandPlaceholders, ReplacesTheFirstOfEachTag) {
  const std::string td = "C:\\Temp\\sfx-abc\\", ad = DirectoryOf(ModuleFileName());
  const struct { std::string text, expanded; } kRows[] = {
      {"<td>setup.ini", td + "setup.ini"}, {"Run <Td>Setup.EXE /Q", "Run " + td + "Setup.EXE /Q"},
      {"a<TD>b<TD>c", "a" + td + "b<TD>c"}, {"<AD>x <TD>y <AD>z", ad + "x " + td + "y <AD>z"},
      {"", ""}, {"C:\\TEMP\\SETUP.EXE <T D> <TD <XD>", "C:\\TEMP\\SETUP.EXE <T D> <TD <XD>"},
      {"<WD>", WithBackslash(WindowsDirectory())}, {"<sd>", WithBackslash(SystemDirectory())},
      {"<TD>$d$e$l$.lst", td + "$d$e$l$.lst"}};
  for (const auto& row : kRows) EXPECT_EQ(ExpandPlaceholders(row.text, "C:\\Temp\\sfx-abc"), row.expanded) << row.text;
  EXPECT_NE(ExpandPlaceholders("<WD>", td), "\\");
}

// The program in the temporary folder (which holds blanks) is quoted, as Windows would find
// it: shortest candidate first, ".exe" optional, the first word when none exists, a quoted
// value as it stands; other commands stay as they are.
TEST(QuoteProgramPath, QuotesTheProgramAsWindowsWouldFindIt) {
  const std::string d = "C:\\Users\\Anna Maria\\AppData\\Local\\Temp\\";
  const struct { std::string command; std::set<std::string> files; std::string quoted; } kRows[] = {
      {d + "setup.exe", {d + "setup.exe", "C:\\Users\\Anna.exe"}, "\"" + d + "setup.exe\""},
      {d + "setup.exe /q", {d + "setup.exe"}, "\"" + d + "setup.exe\" /q"},
      {d + "setup.exe /q -x \"a b\"", {d + "setup.exe"}, "\"" + d + "setup.exe\" /q -x \"a b\""},
      {d + "my setup.exe /q", {d + "my setup.exe"}, "\"" + d + "my setup.exe\" /q"},
      {d + "my setup.exe", {d + "my setup.exe", d + "my.exe"}, "\"" + d + "my\" setup.exe"},
      {d + "install tool -v", {d + "install tool.exe"}, "\"" + d + "install tool\" -v"},
      {d + "setup.exe /q", {}, "\"" + d + "setup.exe\" /q"},
      {d + "\"my setup.exe\" /q", {}, "\"" + d + "my setup.exe\" /q"},
      {"D:\\x.exe", {}, "D:\\x.exe"}, {d, {}, d}};
  for (const auto& row : kRows) {
    const auto files = row.files;
    const auto present = [files](const std::string& path) { return files.count(path) > 0; };
    EXPECT_EQ(QuoteProgramPath(row.command, d, present), row.quoted) << row.command;
  }
  EXPECT_EQ(QuoteProgramPath("x.exe", "", [](const std::string&) { return false; }), "x.exe");
}

TEST(LaunchCommand, AProgramThatCannotStartReturnsFalseAtOnce) {
  EXPECT_FALSE(LaunchCommand("\\no\\such\\folder\\setup.exe /q", false, true));
  EXPECT_FALSE(LaunchCommand("", false, true));
}

const std::string kPrefix = TempDirectory() + "sfx_cleanup_";

void Write(const std::string& name, const std::string& content) {
  std::ofstream(NativePath(kPrefix + name), std::ios::binary) << content;
}

// The last line has no line break, one line is empty and one names a file that is gone; an
// empty list deletes only itself, a missing one raises "file not found".
TEST(RemoveListedFiles, DeletesEveryListedFileAndTheList) {
  for (const char* name : {"a.txt", "b.txt"}) Write(name, name);
  Write("list.lst", kPrefix + "a.txt\r\n\r\n" + kPrefix + "missing.txt\r\n" + kPrefix + "b.txt");
  RemoveListedFiles(kPrefix + "list.lst");
  for (const char* name : {"a.txt", "b.txt", "list.lst"}) EXPECT_FALSE(FileIsPresent(kPrefix + name)) << name;
  Write("a.txt", "a");
  Write("list.lst", "");
  RemoveListedFiles(kPrefix + "list.lst");
  EXPECT_TRUE(RemoveFile(kPrefix + "a.txt"));
  EXPECT_FALSE(FileIsPresent(kPrefix + "list.lst"));
  EXPECT_THROW(RemoveListedFiles(kPrefix + "list.lst"), EInOutError);
}

}  // namespace
