// extract: the installer's rules without running anything, and never a write outside the
// target folder (names the installer refuses do not get past the directory reader: the
// archive's directory tests).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/extract.h"
#include "tools/sfxpack/installer.h"

namespace fs = std::filesystem;

namespace {

using ExtractTest = PackTest;

// The configuration is not written; attributes and folders follow it, and the time comes in
// two-second stamps. Existing files are replaced only with --force, read-only ones too.
TEST_F(ExtractTest, WritesEveryMemberAsTheConfigurationSays) {
  const std::string installer = MakeInstaller();
  WriteText(scratch_.Path("out/data.bin"), "keep me");
  const TRunResult refused = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("--force"), std::string::npos);
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), std::vector<std::string>{"data.bin"});  // nothing written
  EXPECT_EQ(ReadText(scratch_.Path("out/data.bin")), "keep me");
  for (int run = 0; run < 2; ++run)
    ASSERT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 0);
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

// Nothing is written through a link; a link standing in a member's place is replaced (--force),
// not followed.
TEST_F(ExtractTest, TargetPathsAndSymbolicLinks) {
  const std::string t = scratch_.Path("t");
  fs::create_directories(scratch_.Path("t/dir"));
  fs::create_directories(scratch_.Path("elsewhere"));
  fs::create_directory_symlink(scratch_.Path("elsewhere"), scratch_.Path("t/link"));
  WriteText(scratch_.Path("t/file"), "f");
  const struct { const char* relative; bool force; bool refused; } rows[] = {
      {"new/deeper/x", false, false}, {"dir/x", false, false}, {"file", true, false},
      {"file/x", true, true},  // a file where a folder is needed
      {"dir", true, true},     // a folder where the file goes
      {"link/x", true, true}, {"file", false, true}, {"../x", true, true}, {"/abs", true, true}, {"", true, true}};
  for (const auto& row : rows)
    EXPECT_EQ(TargetPathProblem(t, row.relative, row.force).empty(), !row.refused) << row.relative;

  const std::string plain = HandMade({TextMember("x.txt", "x"), Config("")});
  WriteText(scratch_.Path("victim"), "untouched");
  fs::create_symlink(scratch_.Path("victim"), scratch_.Path("t/x.txt"));
  EXPECT_EQ(RunTool(RunExtractCommand, {plain, "--offset", "100", "-C", t}).exitCode, 1);
  ASSERT_EQ(RunTool(RunExtractCommand, {plain, "--offset", "100", "-C", t, "--force"}).exitCode, 0);
  EXPECT_EQ(ReadText(scratch_.Path("victim")), "untouched");
  EXPECT_FALSE(fs::is_symlink(scratch_.Path("t/x.txt")));
}

// A damaged member, the configuration first, stops the run before it is written; --force
// writes it as it decodes, with a warning, and still exits with 1.
TEST_F(ExtractTest, DamagedMembersOnlyWithForce) {
  TestMember config = TextMember(kConfigMemberName, "evil");
  config.unpackedSize = 5;
  ScratchFolder stoppedOut, forcedOut;
  const TRunResult stopped = RunTool(RunExtractCommand, {HandMade({TextMember("fine.txt", "x"), config}), "--offset", "100",
                                                         "-C", stoppedOut.Path()});
  EXPECT_EQ(stopped.exitCode, 1);
  EXPECT_NE(stopped.err.find("the configuration member decodes to"), std::string::npos) << stopped.err;
  EXPECT_FALSE(Exists(stoppedOut.Path("fine.txt")));

  const TInstaller sound = OpenInstaller(MakeInstaller(), std::nullopt);  // data.bin first
  ArchiveBytes bytes = sound.bytes;
  bytes[sound.dataStart + sound.members[0].storedSize / 2] ^= 0x08;
  WriteBytes(scratch_.Path("flipped"), bytes);
  const TRunResult forced = RunTool(RunExtractCommand, {scratch_.Path("flipped"), "-C", forcedOut.Path(), "--force"});
  EXPECT_EQ(forced.exitCode, 1);
  EXPECT_NE(forced.err.find("\"data.bin\" "), std::string::npos) << forced.err;
  EXPECT_NE(forced.err.find("; written as it decodes"), std::string::npos) << forced.err;
  EXPECT_TRUE(Exists(forcedOut.Path("data.bin")));
}

}  // namespace
