// create: what goes into an installer, in which order, under which names and dates (and the
// names it refuses), that the same files give the same bytes, and that a failed run leaves
// nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <csignal>

#include "archive/directory.h"
#include "archive/format.h"
#include "lzh/lzh.h"
#include "sfxpack_test_support.h"
#include "tests/support/hostile_names.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/packing/config_member.h"
#include "tools/sfxpack/packing/member_names.h"
#include "tools/sfxpack/packing/output_file.h"
#include "tools/sfxpack/platform/date_text.h"

namespace {

class CreateTest : public PackTest {
 protected:
  void SetUp() override {
    WriteText(scratch_.Path("tree/b.txt"), "bee\n");
    chmod(scratch_.Path("tree/b.txt").c_str(), 0444);
    WriteBytes(scratch_.Path("tree/a.bin"), corpus::MakeText(20000, 1));
    WriteText(scratch_.Path("tree/sub/deeper/empty.txt"), "");
    WriteText(scratch_.Path("tree/A.txt"), "upper");
    WriteText(scratch_.Path("single.txt"), "single");
  }
};

std::string MemberText(const TInstaller& installer, const TMember& member) {
  const ArchiveBytes data = LzhDecodeBuffer(installer.MemberData(member), static_cast<size_t>(member.storedSize));
  return std::string(data.begin(), data.end());
}

// Names relative to each operand in byte order, the configuration last; attributes and the
// local time of the files.
TEST_F(CreateTest, MembersAttributesDatesConfigurationAndRepeatedOutput) {
  const std::string out = scratch_.Path("out.bin");
  const TRunResult run = Create({"-o", out, scratch_.Path("tree"), scratch_.Path("single.txt"),
                                 "--run", "sub\\deeper\\empty.txt", "--params", "/quiet"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  const TInstaller installer = OpenInstaller(out, std::nullopt);
  std::vector<std::string> names;
  for (const TMember& member : installer.members) names.push_back(member.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "a.bin", "b.txt", "sub\\deeper\\empty.txt", "single.txt",
                                             kConfigMemberName}));
  EXPECT_EQ(MemberText(installer, installer.members.back()),
            "[KVTR Configuration]\r\nUseDirs=1\r\nOverWrite=1\r\nAttributes=1\r\nFileDate=1\r\n"
            "CodePage=65001\r\nExecutable=sub\\deeper\\empty.txt\r\nParameters=/quiet\r\n");
  const TMember& b = installer.members[2];
  EXPECT_EQ(b.attributes, 33);  // read-only and archive
  EXPECT_EQ(installer.members[0].attributes, 32);
  struct stat st {};
  ASSERT_EQ(stat(scratch_.Path("tree/b.txt").c_str(), &st), 0);
  struct tm local {};
  localtime_r(&st.st_mtime, &local);
  const long double seconds = (b.dateTime - static_cast<long long>(b.dateTime)) * 86400;
  EXPECT_NEAR(static_cast<double>(seconds), local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec, 1.0);

  ASSERT_EQ(Create({"-o", out, scratch_.Path("tree"), "--no-date", "--no-attributes", "--no-dirs", "--ask-overwrite"})
                .exitCode, 0);
  const TInstaller other = OpenInstaller(out, std::nullopt);
  EXPECT_EQ(MemberText(other, other.members.back()),
            "[KVTR Configuration]\r\nUseDirs=0\r\nOverWrite=0\r\nAttributes=0\r\nFileDate=0\r\nCodePage=65001\r\n");

  // An output inside the packed folder is left out, and the same tree gives the same bytes.
  const std::string inside = scratch_.Path("tree/installer");
  ASSERT_EQ(Create({"-o", inside, scratch_.Path("tree")}).exitCode, 0);
  const ArchiveBytes first = ReadBytes(inside);
  ASSERT_EQ(Create({"-o", inside, scratch_.Path("tree")}).exitCode, 0);
  EXPECT_EQ(ReadBytes(inside), first);
  for (const TMember& member : OpenInstaller(inside, std::nullopt).members) EXPECT_NE(member.name, "installer");
}

void SetModificationTime(const std::string& path, time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Reproducible installers: the same files give the same bytes, however their folders list
// them, from whichever folder, and under SOURCE_DATE_EPOCH whatever their times past it. Files
// left out by --exclude, chosen by --files-from (-C, find-style repeats), dated by --date.
TEST_F(CreateTest, ChosenFilesAndReproducibleDates) {
  const char* names[] = {"z.txt", "a/m.pdb", "a/b.txt", ".git/config", "k.txt"};
  for (int i = 0; i < 5; ++i) {
    WriteText(scratch_.Path("one/") + names[i], names[i]);
    WriteText(scratch_.Path("two/") + names[4 - i], names[4 - i]);
  }
  std::filesystem::create_directories(scratch_.Path("one/empty"));
  for (const char* tree : {"one/k.txt", "two/k.txt"}) SetModificationTime(scratch_.Path(tree), 1000000000);  // 2001
  SetModificationTime(scratch_.Path("two/z.txt"), 1800000000);
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  const TRunResult one = Create({"-o", scratch_.Path("one.exe"), scratch_.Path("one"), "--exclude", "*.pdb", "--exclude", ".git"});
  const TRunResult two = Create({"-o", scratch_.Path("two.exe"), "-C", scratch_.Path("two"), ".", "--exclude=*.pdb", "--exclude=.git"});
  unsetenv("SOURCE_DATE_EPOCH");
  ASSERT_EQ(one.exitCode, 0) << one.err;
  ASSERT_EQ(two.exitCode, 0) << two.err;
  EXPECT_NE(one.err.find("empty folder not packed: " + scratch_.Path("one/empty")), std::string::npos) << one.err;
  EXPECT_EQ(ReadBytes(scratch_.Path("one.exe")), ReadBytes(scratch_.Path("two.exe")));
  std::vector<std::string> listed;
  for (const TMember& member : OpenInstaller(scratch_.Path("one.exe"), std::nullopt).members) {
    listed.push_back(member.name + " " + IsoDateTimeText(member.dateTime).substr(0, 4));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"a\\b.txt 2023", "k.txt 2001", "z.txt 2023", "$k$v$t$r.cnf 2023"}));

  WriteText(scratch_.Path("list"), "k.txt\r\n./a/\n\nk.txt\n");
  ASSERT_EQ(Create({"-o", scratch_.Path("three.exe"), "-C", scratch_.Path("one"), "--files-from", scratch_.Path("list"),
                    "--date", "2001-02-03T04:05:06"}).exitCode, 0);
  listed.clear();
  for (const TMember& member : OpenInstaller(scratch_.Path("three.exe"), std::nullopt).members) {
    listed.push_back(member.name + " " + IsoDateTimeText(member.dateTime));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"k.txt 2001-02-03T04:05:06", "a\\b.txt 2001-02-03T04:05:06",
                                              "a\\m.pdb 2001-02-03T04:05:06", "$k$v$t$r.cnf 2001-02-03T04:05:06"}));
  WriteText(scratch_.Path("list"), "../two/k.txt\n");
  EXPECT_EQ(Create({"-o", scratch_.Path("four.exe"), "-C", scratch_.Path("one"), "--files-from", scratch_.Path("list")}).exitCode, 1);
}

// Names go into the installer in the code page --codepage names, and list and extract turn
// them back into UTF-8. (A Windows stub's default, 1252, and its warning about such names:
// windows_tool_test.sh and the Wine end-to-end tests, with the real stubs.)
TEST_F(CreateTest, NamesInTheCodePage) {
  const struct { const char* name; const char* codePage; const char* stored; } rows[] = {  // stored nullptr: refused
      {"\xC3\x9C" "bersicht/Gr\xC3\xBC\xC3\x9F" "e.txt", "1252", "\xDC" "bersicht\\Gr\xFC\xDF" "e.txt"},
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "1252", nullptr},
      {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "932", "\x93\xFA\x96\x7B.txt"},
      {"\xE8\xA1\xA8.txt", "932", nullptr},  // its second byte is "\"
      {"\xCE\xB1.txt", "1253", "\xE1.txt"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string tree = scratch_.Path("cp"), out = scratch_.Path("cp.exe");
    std::filesystem::remove_all(tree);
    WriteText(tree + "/" + row.name, "x");
    const TRunResult run = Create({"-o", out, tree, "--codepage", row.codePage});
    if (row.stored == nullptr) {
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_NE(run.err.find(row.name), std::string::npos) << run.err;
      EXPECT_NE(run.err.find("--codepage"), std::string::npos) << run.err;
      continue;
    }
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const TInstaller installer = OpenInstaller(out, std::nullopt);
    EXPECT_EQ(installer.members[0].storedName, row.stored);
    const TRunResult extract = RunTool(RunExtractCommand, {out, "-C", scratch_.Path("x"), "--force"});
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(ReadText(scratch_.Path("x/") + row.name), "x");
  }
  // Read in another code page than the one recorded, the same bytes spell other letters.
  const TInstaller greek = OpenInstaller(scratch_.Path("cp.exe"), std::nullopt, 1252);
  EXPECT_EQ(greek.members[0].name, "\xC3\xA1.txt");
}

// The hostile names' builder column; everything the installer itself refuses is refused here
// as well: every short name over the characters that matter.
TEST(MemberNames, RefusedBeforeTheInstallerWouldBe) {
  for (const THostileName& row : HostileNames()) {
    if (row.builder != '?') EXPECT_EQ(MemberNameProblem(row.name).empty(), row.builder == '+') << row.name;
  }
  for (const std::string& name : {std::string(), std::string(256, 'n')}) EXPECT_FALSE(MemberNameProblem(name).empty());
  EXPECT_EQ(MemberNameProblem(std::string(255, 'n')), "");
  const std::string alphabet = std::string("a.\\/: ") + '\x01';
  for (unsigned n = 0; n < 8 * 8 * 8 * 8; ++n) {  // the base-8 digits 1..7 of n spell a name
    std::string name;
    for (unsigned rest = n; rest > 0; rest /= 8)
      if (rest % 8 != 0) name += alphabet[rest % 8 - 1];
    EXPECT_TRUE(IsSafeMemberName(name) || !MemberNameProblem(name).empty()) << name;
  }
}

// Members that would land on one another.
TEST(MemberNames, ClashesOnWindowsFileSystems) {
  EXPECT_TRUE(FindNameClashes({"a.txt", "sub\\a.txt", "B"}, true).empty());
  EXPECT_EQ(FindNameClashes({"Readme.TXT", "README.txt"}, true).size(), 1u);
  EXPECT_EQ(FindNameClashes({"x\\a.txt", "y\\a.txt"}, false).size(), 1u);  // --no-dirs
  EXPECT_EQ(FindNameClashes({"a", "A\\b.txt"}, true).size(), 1u);           // file and folder
  EXPECT_EQ(FindNameClashes({"$D$E$L$.LST"}, true).size(), 1u);             // the delete list
  EXPECT_EQ(FindNameClashes({"sub\\$d$e$l$.lst"}, false).size(), 1u);
  EXPECT_TRUE(FindNameClashes({"sub\\$d$e$l$.lst"}, true).empty());
}

// That the installer's reader gets every value of the configuration member back.
TEST(ConfigurationText, ReadBackWhole) {
  TConfiguration config;
  // Values the profile reader would trim or unquote are protected so that they arrive whole.
  for (const std::string& value : {std::string("\"a b\" \"c d\""), std::string("'x'"), std::string(" lead"),
                                   std::string("trail "), std::string(257, 'v')}) {
    ASSERT_TRUE(ConfigValueProblem(value).empty()) << value;
    config.parameters = value;
    EXPECT_EQ(ParseConfiguration(ConfigurationText(config)).parameters, value);
  }
  EXPECT_FALSE(ConfigValueProblem(std::string(258, 'v') + " ").empty());  // 261 once quoted
  EXPECT_FALSE(ConfigValueProblem("a\nb").empty());
}

// Only a committed file replaces the target, executable like a stub; otherwise, and when the
// program is interrupted, nothing is left.
TEST(AtomicOutput, AppearsOnlyWhenCommitted) {
  ScratchFolder scratch;
  const std::string target = scratch.Path("target");
  WriteText(target, "old");
  for (bool commit : {false, true}) {
    AtomicOutputFile file(target);
    file.Write(reinterpret_cast<const uint8_t*>("new"), 3);
    EXPECT_EQ(FolderEntries(scratch.Path()).size(), 2u);  // and the temporary file
    EXPECT_EQ(ReadText(target), "old");
    if (commit) file.Commit();
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicOutputFile file(target);
    file.Write(reinterpret_cast<const uint8_t*>("half"), 4);
    std::raise(SIGTERM);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::string>{"target"});
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  EXPECT_THROW(AtomicOutputFile(scratch.Path("no/such/folder/x")), EPackError);
  EXPECT_THROW(AtomicOutputFile(scratch.Path()), EPackError);  // a folder
}

}  // namespace
