// extract: the installer's rules without running anything, and never a write outside the
// target folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "sfxpack_test_support.h"
#include "tests/support/hostile_names.h"
#include "tools/sfxpack/extract.h"
#include "tools/sfxpack/installer.h"

namespace fs = std::filesystem;

namespace {

class ExtractTest : public PackTest {
 protected:
  // The builder refuses such names: the installer is written by hand.
  std::string HandMade(const std::vector<THandMember>& members) {
    WriteBytes(scratch_.Path("handmade"), HandMadeInstaller(members));
    return scratch_.Path("handmade");
  }
};

// The configuration is not written; attributes and folders follow it, and the time comes in
// two-second stamps.
TEST_F(ExtractTest, WritesEveryMemberAsTheConfigurationSays) {
  const TRunResult run = RunTool(RunExtractCommand, {MakeInstaller(), "-C", scratch_.Path("out")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(ReadBytes(scratch_.Path("out/data.bin")), ReadBytes(scratch_.Path("tree/data.bin")));
  EXPECT_EQ(ReadText(scratch_.Path("out/sub/readme.txt")), "read me\r\n");
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), (std::vector<std::string>{"data.bin", "ro.txt", "sub"}));
  struct stat st {}, source {};
  ASSERT_EQ(stat(scratch_.Path("out/ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_EQ(stat(scratch_.Path("tree/data.bin").c_str(), &source), 0);
  ASSERT_EQ(stat(scratch_.Path("out/data.bin").c_str(), &st), 0);
  EXPECT_LE(std::llabs(static_cast<long long>(st.st_mtime - source.st_mtime)), 2);

  ASSERT_EQ(RunTool(RunExtractCommand, {MakeInstaller({"--no-dirs", "--no-attributes"}), "-C", scratch_.Path("flat")}).exitCode, 0);
  EXPECT_EQ(FolderEntries(scratch_.Path("flat")), (std::vector<std::string>{"data.bin", "readme.txt", "ro.txt"}));
  ASSERT_EQ(stat(scratch_.Path("flat/ro.txt").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

TEST_F(ExtractTest, ExistingFilesOnlyWithForce) {
  const std::string installer = MakeInstaller();
  WriteText(scratch_.Path("out/data.bin"), "keep me");
  const TRunResult run = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("--force"), std::string::npos);
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), std::vector<std::string>{"data.bin"});  // nothing written
  EXPECT_EQ(ReadText(scratch_.Path("out/data.bin")), "keep me");
  ASSERT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 0);
  EXPECT_EQ(ReadBytes(scratch_.Path("out/data.bin")), ReadBytes(scratch_.Path("tree/data.bin")));
  // A second forced run replaces the read-only file too.
  EXPECT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 0);
}

// Every name the installer refuses (the shared table's stub column).
TEST_F(ExtractTest, HostileNamesAreRefusedBeforeAnyWrite) {
  for (const THostileName& row : HostileNames()) {
    if (row.stub == '+') continue;
    const std::string installer = HandMade({{"fine.txt"}, {row.name}, {"$k$v$t$r.cnf"}});
    EXPECT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out/inner")}).exitCode, 1) << row.name;
    EXPECT_FALSE(Exists(scratch_.Path("out")) || Exists(scratch_.Path("escape.txt"))) << row.name;
  }
}

TEST_F(ExtractTest, NoWritesThroughSymbolicLinks) {
  const std::string installer = HandMade({{"link\\x.txt"}, {"$k$v$t$r.cnf"}});
  fs::create_directories(scratch_.Path("out"));
  fs::create_directories(scratch_.Path("elsewhere"));
  fs::create_directory_symlink(scratch_.Path("elsewhere"), scratch_.Path("out/link"));
  EXPECT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 1);
  EXPECT_TRUE(FolderEntries(scratch_.Path("elsewhere")).empty());

  // A link standing in a member's place is replaced, not followed.
  const std::string plain = HandMade({{"x.txt"}, {"$k$v$t$r.cnf"}});
  fs::create_directories(scratch_.Path("out2"));
  WriteText(scratch_.Path("victim"), "untouched");
  fs::create_symlink(scratch_.Path("victim"), scratch_.Path("out2/x.txt"));
  EXPECT_EQ(RunTool(RunExtractCommand, {plain, "-C", scratch_.Path("out2")}).exitCode, 1);
  ASSERT_EQ(RunTool(RunExtractCommand, {plain, "-C", scratch_.Path("out2"), "--force"}).exitCode, 0);
  EXPECT_EQ(ReadText(scratch_.Path("victim")), "untouched");
  EXPECT_FALSE(fs::is_symlink(scratch_.Path("out2/x.txt")));
}

TEST_F(ExtractTest, TargetPathProblems) {
  fs::create_directories(scratch_.Path("t/dir"));
  WriteText(scratch_.Path("t/file"), "f");
  const std::string t = scratch_.Path("t");
  const struct { const char* relative; bool isFile; bool refused; } rows[] = {
      {"new/deeper/x", false, false}, {"dir/x", false, false}, {"file", true, false},
      {"file/x", true, true},  // a file where a folder is needed
      {"dir", true, true},     // a folder where the file goes
      {"file", false, true}, {"../x", true, true}, {"/abs", true, true}, {"", true, true}};
  for (const auto& row : rows)
    EXPECT_EQ(TargetPathProblem(t, row.relative, row.isFile).empty(), !row.refused) << row.relative;
}

// A damaged member stops the run before it is written; --force writes it as it decodes, with
// a warning, and still exits with 1.
TEST_F(ExtractTest, DamagedMembersOnlyWithForce) {
  const std::string handMade = HandMade({{"fine.txt"}, {"$k$v$t$r.cnf", "evil", 5}});
  const std::string flipped = MakeInstaller();
  const TInstaller sound = OpenInstaller(flipped, std::nullopt);
  Bytes bytes = ReadBytes(flipped);
  for (const TMember& member : sound.members)
    if (member.name == "data.bin") bytes[sound.dataStart + member.offset + member.storedSize / 2] ^= 0x08;
  WriteBytes(flipped, bytes);
  const struct { std::string installer, written, told; bool force; } rows[] = {
      {handMade, "fine.txt", "the configuration member decodes to", false},
      {handMade, "fine.txt", "warning: ", true},
      {flipped, "data.bin", "member \"data.bin\" ", false},
      {flipped, "data.bin", "warning: ", true}};
  for (const auto& row : rows) {
    ScratchFolder out;
    Arguments args = {row.installer, "-C", out.Path()};
    if (row.force) args.push_back("--force");
    const TRunResult run = RunTool(RunExtractCommand, args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(row.told), std::string::npos) << run.err;
    EXPECT_EQ(Exists(out.Path(row.written)), row.force) << row.written;
  }
}

}  // namespace
