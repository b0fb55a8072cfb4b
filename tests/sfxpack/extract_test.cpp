// extract: the installer's rules without running anything, and never a write outside the
// target folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "archive/archive_writer.h"
#include "lzh/lzh.h"
#include "sfxpack_test_support.h"
#include "tools/sfxpack/extract.h"

namespace fs = std::filesystem;

namespace {

class ExtractTest : public testing::Test {
 protected:
  void SetUp() override {
    stub_ = scratch_.Path("stub.bin");
    WriteBytes(stub_, MakeNativeStub());
    WriteBytes(scratch_.Path("tree/data.bin"), SampleData(9000, 4));
    WriteText(scratch_.Path("tree/sub/deeper/a.txt"), "a");
    WriteText(scratch_.Path("tree/ro.txt"), "read only");
    fs::permissions(scratch_.Path("tree/ro.txt"), fs::perms::owner_write | fs::perms::group_write |
                                                      fs::perms::others_write, fs::perm_options::remove);
  }

  std::string Create(const std::string& name, Arguments extra = {}) {
    Arguments args = {"--stub", stub_, "-o", scratch_.Path(name), scratch_.Path("tree")};
    args.insert(args.end(), extra.begin(), extra.end());
    const TRunResult run = RunTool(RunCreateCommand, args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return scratch_.Path(name);
  }

  // An installer with the given names, written with the directory writer directly (the
  // builder refuses such names).
  std::string HandMade(const std::vector<std::string>& names, int32_t lastUnpackedSize = 4) {
    std::vector<TMemberEntry> entries;
    std::vector<ArchiveBytes> streams;
    for (const std::string& name : names) {
      TMemberEntry entry;
      entry.name = name;
      entry.unpackedSize = 4;
      entries.push_back(entry);
      streams.push_back(LzhEncode(reinterpret_cast<const uint8_t*>("evil"), 4));
    }
    entries.back().unpackedSize = lastUnpackedSize;
    const ArchiveBytes archive = BuildArchiveImage(entries, streams);
    Bytes file = MakeNativeStub(100);
    const std::string digits = "000000100";
    std::copy(digits.begin(), digits.end(), file.begin() + 33 + 19);
    file.insert(file.end(), archive.begin(), archive.end());
    WriteBytes(scratch_.Path("handmade"), file);
    return scratch_.Path("handmade");
  }

  ScratchFolder scratch_;
  std::string stub_;
};

TEST_F(ExtractTest, WritesEveryMemberWithItsAttributesButNotTheConfiguration) {
  const std::string installer = Create("inst");
  const TRunResult run = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(ReadBytes(scratch_.Path("out/data.bin")), ReadBytes(scratch_.Path("tree/data.bin")));
  EXPECT_EQ(ReadBytes(scratch_.Path("out/sub/deeper/a.txt")), Bytes{'a'});
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), (std::vector<std::string>{"data.bin", "ro.txt", "sub"}));
  struct stat st {};
  ASSERT_EQ(stat(scratch_.Path("out/ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  struct stat source {};
  ASSERT_EQ(stat(scratch_.Path("tree/data.bin").c_str(), &source), 0);
  ASSERT_EQ(stat(scratch_.Path("out/data.bin").c_str(), &st), 0);
  EXPECT_LE(std::llabs(static_cast<long long>(st.st_mtime - source.st_mtime)), 2);  // two-second stamps
}

TEST_F(ExtractTest, NoDirsAndNoAttributesFollowTheConfiguration) {
  const std::string installer = Create("inst", {"--no-dirs", "--no-attributes"});
  ASSERT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")}).exitCode, 0);
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), (std::vector<std::string>{"a.txt", "data.bin", "ro.txt"}));
  struct stat st {};
  ASSERT_EQ(stat(scratch_.Path("out/ro.txt").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
}

TEST_F(ExtractTest, ExistingFilesOnlyWithForce) {
  const std::string installer = Create("inst");
  WriteText(scratch_.Path("out/data.bin"), "keep me");
  const TRunResult run = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("--force"), std::string::npos);
  EXPECT_EQ(FolderEntries(scratch_.Path("out")), std::vector<std::string>{"data.bin"});  // nothing written
  EXPECT_EQ(ReadBytes(scratch_.Path("out/data.bin")), Bytes({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  ASSERT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 0);
  EXPECT_EQ(ReadBytes(scratch_.Path("out/data.bin")), ReadBytes(scratch_.Path("tree/data.bin")));
  // A second forced run replaces the read-only file too.
  EXPECT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 0);
}

TEST_F(ExtractTest, HostileNamesAreRefusedBeforeAnyWrite) {
  for (const std::string& name : std::vector<std::string>{"..\\escape.txt", "sub\\..\\..\\escape.txt", "\\\\server\\x", "c:\\x",
                                  "/etc/x", "\\/x", "a/../../escape.txt", std::string("ctl\x01")}) {
    const std::string installer = HandMade({"fine.txt", name, "$k$v$t$r.cnf"});
    const TRunResult run = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out/inner")});
    EXPECT_EQ(run.exitCode, 1) << name;
    EXPECT_FALSE(Exists(scratch_.Path("out"))) << name;
    EXPECT_FALSE(Exists(scratch_.Path("escape.txt")));
  }
}

TEST_F(ExtractTest, NoWritesThroughSymbolicLinks) {
  const std::string installer = HandMade({"link\\x.txt", "$k$v$t$r.cnf"});
  fs::create_directories(scratch_.Path("out"));
  fs::create_directories(scratch_.Path("elsewhere"));
  fs::create_directory_symlink(scratch_.Path("elsewhere"), scratch_.Path("out/link"));
  EXPECT_EQ(RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out"), "--force"}).exitCode, 1);
  EXPECT_TRUE(FolderEntries(scratch_.Path("elsewhere")).empty());

  // A link standing in a member's place is replaced, not followed.
  const std::string plain = HandMade({"x.txt", "$k$v$t$r.cnf"});
  fs::create_directories(scratch_.Path("out2"));
  WriteText(scratch_.Path("victim"), "untouched");
  fs::create_symlink(scratch_.Path("victim"), scratch_.Path("out2/x.txt"));
  EXPECT_EQ(RunTool(RunExtractCommand, {plain, "-C", scratch_.Path("out2")}).exitCode, 1);
  ASSERT_EQ(RunTool(RunExtractCommand, {plain, "-C", scratch_.Path("out2"), "--force"}).exitCode, 0);
  EXPECT_EQ(ReadBytes(scratch_.Path("victim")), Bytes({'u', 'n', 't', 'o', 'u', 'c', 'h', 'e', 'd'}));
  EXPECT_FALSE(fs::is_symlink(scratch_.Path("out2/x.txt")));
}

TEST_F(ExtractTest, TargetPathProblems) {
  fs::create_directories(scratch_.Path("t/dir"));
  WriteText(scratch_.Path("t/file"), "f");
  const std::string t = scratch_.Path("t");
  EXPECT_EQ(TargetPathProblem(t, "new/deeper/x", false), "");
  EXPECT_EQ(TargetPathProblem(t, "dir/x", false), "");
  EXPECT_NE(TargetPathProblem(t, "file/x", true), "");  // a file where a folder is needed
  EXPECT_NE(TargetPathProblem(t, "dir", true), "");     // a folder where the file goes
  EXPECT_NE(TargetPathProblem(t, "file", false), "");
  EXPECT_EQ(TargetPathProblem(t, "file", true), "");
  EXPECT_NE(TargetPathProblem(t, "../x", true), "");
  EXPECT_NE(TargetPathProblem(t, "/abs", true), "");
  EXPECT_NE(TargetPathProblem(t, "", true), "");
}

TEST_F(ExtractTest, DamagedMemberStopsTheRun) {
  const std::string installer = HandMade({"fine.txt", "$k$v$t$r.cnf"}, 5);
  const TRunResult run = RunTool(RunExtractCommand, {installer, "-C", scratch_.Path("out")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("configuration"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(scratch_.Path("out/fine.txt")));
}

}  // namespace
