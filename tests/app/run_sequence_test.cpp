// The run sequence's parts: placeholders, the program's quoted path, the launch, the run folder
// and the clean-up.
#include <gtest/gtest.h>

#include <set>

#include "app/placeholders.h"
#include "app/program_path.h"
#include "app/run_folder.h"
#include "app/run_sequence.h"
#include "archive/format.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/launch.h"
#include "host/paths.h"
#include "host/platform.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"

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

// Each run gets a new folder of its own; a name that exists is passed over for another, and
// any other failure is told at once.
TEST(CreateRunFolder, MakesANewFolderAndNeverTakesOneThatExists) {
  ScratchFolder scratch;
  std::string first, second;
  ASSERT_EQ(CreateRunFolder(scratch.Internal(), first), 0);
  ASSERT_EQ(CreateRunFolder(scratch.Internal(), second), 0);
  EXPECT_NE(first, second);
  EXPECT_TRUE(IsDirectory(first) && IsDirectory(second));
  EXPECT_EQ(first.compare(0, scratch.Internal().size() + 4, scratch.Internal() + "sfx-"), 0) << first;
  EXPECT_EQ(first.back(), '\\');
  FaultyFileSystem disk;
  ScopedFileSystem use(disk);
  disk.FailAt(FsCall::MakeDirectory, 1, kErrorAlreadyExists);
  EXPECT_EQ(CreateRunFolder(scratch.Internal(), first), 0);
  EXPECT_EQ(disk.Calls(FsCall::MakeDirectory), 2);
  disk.FailAt(FsCall::MakeDirectory, 1, kErrorAlreadyExists, true);
  EXPECT_EQ(CreateRunFolder(scratch.Internal(), first), kErrorAlreadyExists);
  EXPECT_EQ(first, "");
  disk.ResetCounts();
  disk.FailAt(FsCall::MakeDirectory, 1, kErrorAccessDenied, true);
  EXPECT_EQ(CreateRunFolder(scratch.Internal(), first), kErrorAccessDenied);
  EXPECT_EQ(disk.Calls(FsCall::MakeDirectory), 1);
}

// After the program: the files the list names (its last line without a line break, an empty
// line and a file already gone among them), the list, the folders the run made and the run
// folder go; a file the program left keeps its folder and the run folder; a missing list
// raises "file not found".
TEST(CleanUpRun, RemovesWhatTheRunMadeAndKeepsWhatTheProgramLeft) {
  ScratchFolder scratch;
  const std::string run = scratch.Internal("sfx-run\\");
  for (const char* name : {"a.txt", "docs\\b.txt", "docs\\deep\\c.txt", "data\\d.bin", "data\\left.log"})
    WriteText(NativePath(run + name), "x");
  WriteText(NativePath(run + kDeleteListName),
            run + "a.txt\r\n\r\n" + run + "gone.txt\r\n" + run + "docs\\b.txt\r\n" + run + "data\\d.bin");
  FakeObserver user;
  TExtractionRun r(user, user.cancelRequested);
  r.memberDirectory = run;
  r.createdFolders = {run + "docs", run + "docs\\deep", run + "data"};
  CleanUpRun(r, run, true);
  EXPECT_TRUE(Exists(NativePath(run + "data\\left.log")));
  EXPECT_TRUE(Exists(NativePath(run + "docs\\deep\\c.txt")));  // not listed: the program's
  for (const char* gone : {"a.txt", "docs\\b.txt", "data\\d.bin", kDeleteListName}) EXPECT_FALSE(Exists(NativePath(run + gone))) << gone;
  EXPECT_THROW(CleanUpRun(r, run, true), EInOutError);
  // Any other ending goes by the run's own record, without a list.
  RemoveFile(run + "data\\left.log");
  r.createdFiles = {run + "docs\\deep\\c.txt"};
  CleanUpRun(r, run, false);
  EXPECT_FALSE(Exists(NativePath(run)));
}

}  // namespace
