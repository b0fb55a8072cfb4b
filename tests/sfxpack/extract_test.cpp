// extract: the installer's rules without running anything, and never a write outside the
// target folder (names the installer refuses do not get past the directory reader: the
// archive's directory tests); test and extract on damaged installers (every byte of the
// directory: the archive's directory tests and fuzz target, through the same reader).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/commands/extract.h"
#include "tools/sfxpack/installer/installer.h"

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
  ASSERT_EQ(RunTool(RunExtractCommand, {plain, "--offset", "100", "-C", t, "--force"}).exitCode, 0);
  EXPECT_EQ(ReadText(scratch_.Path("victim")), "untouched");
  EXPECT_FALSE(fs::is_symlink(scratch_.Path("t/x.txt")));
}

// Cut anywhere behind the stub: the directory no longer reads, a member's data is short, or the
// checksum block is. Cut right behind the data, it is an installer without checksums; bytes
// behind the block (a signature's certificate table) are harmless, and restub drops them. A flipped bit in a member's
// data is reported: the checksums catch what the decoded length does not. Only the bits of a
// stream's last byte behind its final code may decode to the very same bytes. extract stops
// at such a member; --force writes it as it decodes, with a warning, and still exits with 1.
TEST_F(ExtractTest, TruncationsAndFlippedBits) {
  const ArchiveBytes bytes = ReadBytes(MakeInstaller({"--run", "data.bin"}));
  const TInstaller sound = OpenInstaller(scratch_.Path("inst"), std::nullopt);
  const std::string damaged = scratch_.Path("damaged");
  const auto test = [&](const ArchiveBytes& b) {
    WriteBytes(damaged, b);
    return RunTool(RunTestCommand, {damaged});
  };
  const size_t dataEnd = sound.ArchiveEnd();
  for (size_t size = sound.archiveOffset; size < bytes.size(); size += (size < sound.dataStart || size >= dataEnd - 10 ? 1 : 97)) {
    const TRunResult run = test(ArchiveBytes(bytes.begin(), bytes.begin() + size));
    EXPECT_EQ(run.exitCode, size == dataEnd ? 0 : 1) << "cut at " << size;
    if (size == dataEnd) EXPECT_NE(run.err.find("no checksums"), std::string::npos) << run.err;
  }
  ArchiveBytes signedFile = bytes;
  signedFile.resize(bytes.size() + 1500, 0x5A);
  EXPECT_EQ(test(signedFile).exitCode, 0);
  ASSERT_EQ(RunTool(RunRestubCommand, {damaged, "--stub", stub_, "-o", scratch_.Path("restubbed")}).exitCode, 0);
  EXPECT_EQ(ReadBytes(scratch_.Path("restubbed")), bytes);  // restub leaves them behind
  for (const TMember& member : sound.members) {
    const size_t start = sound.dataStart + member.offset;
    for (size_t at = start; at + 1 < start + member.storedSize; at += 5) {
      ArchiveBytes b = bytes;
      b[at] ^= static_cast<uint8_t>(1u << (at % 8));
      const TRunResult run = test(b);
      EXPECT_EQ(run.exitCode, 1) << member.name << " at " << at;
      EXPECT_NE(run.out.find("DAMAGED " + member.name + ": "), std::string::npos) << run.out;
    }
  }
  ArchiveBytes b = bytes;
  b[sound.dataStart + sound.members[0].storedSize / 2] ^= 0x08;  // data.bin
  WriteBytes(damaged, b);
  const TRunResult forced = RunTool(RunExtractCommand, {damaged, "-C", scratch_.Path("out"), "--force"});
  EXPECT_EQ(forced.exitCode, 1);
  EXPECT_NE(forced.err.find("member \"data.bin\" "), std::string::npos) << forced.err;
  EXPECT_TRUE(Exists(scratch_.Path("out/data.bin")));
}

// Streams that decode to other sizes than recorded, in an installer without checksums: test
// judges them as the stub does (one longest match of surplus passes, one byte more does not,
// nor does a shortfall); extract checks the configuration first and writes nothing.
TEST_F(ExtractTest, RecordedSizesThatDisagree) {
  const std::string text(100, 'x');
  TestMember fits = TextMember("fits.txt", text), surplus = TextMember("surplus.txt", text),
             config = TextMember(kConfigMemberName, "evil");
  fits.unpackedSize = 40;
  surplus.unpackedSize = 39;
  config.unpackedSize = 5;
  const std::string installer = HandMade({fits, surplus, config});
  const TRunResult test = RunTool(RunTestCommand, {installer, "--offset", "100"});
  EXPECT_EQ(test.exitCode, 1);
  EXPECT_NE(test.out.find("OK      fits.txt\nDAMAGED surplus.txt: decodes to 100 bytes, 39 recorded\n"
                          "DAMAGED $k$v$t$r.cnf: decodes to 4 bytes, 5 recorded"),
            std::string::npos) << test.out;
  const TRunResult extract = RunTool(RunExtractCommand, {installer, "--offset", "100", "-C", scratch_.Path("out")});
  EXPECT_EQ(extract.exitCode, 1);
  EXPECT_NE(extract.err.find("the configuration member decodes to"), std::string::npos) << extract.err;
  EXPECT_FALSE(Exists(scratch_.Path("out")));
}

}  // namespace
