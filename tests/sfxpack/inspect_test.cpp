// test on damaged installers (the command line: cli_test.cpp; every byte of the directory: the
// archive's directory tests and fuzz target, which read through the same reader).
#include <gtest/gtest.h>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/installer.h"

namespace {

class InspectTest : public PackTest {
 protected:
  TRunResult TestFile(const ArchiveBytes& bytes, const Arguments& options = {}) {
    Arguments args = {scratch_.Path("damaged")};
    args.insert(args.end(), options.begin(), options.end());
    WriteBytes(scratch_.Path("damaged"), bytes);
    return RunTool(RunTestCommand, args);
  }
};

// Cut anywhere behind the stub: the directory no longer reads, a member's data is short, or the
// checksum block is. Cut right behind the data, it is an installer without checksums; bytes
// behind the block (a signature's certificate table) are harmless. A flipped bit in a member's
// data is reported: the checksums catch what the decoded length does not. Only the bits of a
// stream's last byte behind its final code may decode to the very same bytes.
TEST_F(InspectTest, TruncationsAndFlippedBits) {
  const ArchiveBytes bytes = ReadBytes(MakeInstaller({"--run", "data.bin"}));
  const TInstaller sound = OpenInstaller(scratch_.Path("inst"), std::nullopt);
  const size_t dataEnd = sound.ArchiveEnd();
  for (size_t size = sound.archiveOffset; size < bytes.size(); size += (size < sound.dataStart || size >= dataEnd - 10 ? 1 : 97)) {
    const TRunResult run = TestFile(ArchiveBytes(bytes.begin(), bytes.begin() + size));
    EXPECT_EQ(run.exitCode, size == dataEnd ? 0 : 1) << "cut at " << size;
    if (size == dataEnd) EXPECT_NE(run.err.find("no checksums"), std::string::npos) << run.err;
  }
  ArchiveBytes signedFile = bytes;
  signedFile.resize(bytes.size() + 1500, 0x5A);
  EXPECT_EQ(TestFile(signedFile).exitCode, 0);
  for (const TMember& member : sound.members) {
    const size_t start = sound.dataStart + member.offset;
    for (size_t at = start; at + 1 < start + member.storedSize; at += 5) {
      ArchiveBytes b = bytes;
      b[at] ^= static_cast<uint8_t>(1u << (at % 8));
      const TRunResult run = TestFile(b);
      EXPECT_EQ(run.exitCode, 1) << member.name << " at " << at;
      EXPECT_NE(run.out.find("DAMAGED " + member.name + ": "), std::string::npos) << run.out;
    }
  }
}

TEST_F(InspectTest, TestReportsStreamsThatDecodeShort) {
  TestMember member = TextMember("short.txt", "twelve bytes");
  member.unpackedSize = 0;
  const TRunResult run = TestFile(::MakeInstaller({member, Config("")}), {"--offset", "100"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("DAMAGED short.txt: decodes to 12 bytes, 0 recorded"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("OK      $k$v$t$r.cnf"), std::string::npos);
  EXPECT_NE(run.err.find("no checksums"), std::string::npos) << run.err;
}

}  // namespace
