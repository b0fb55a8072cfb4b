// test and restub on damaged and re-signed installers (the command line: cli_test.cpp).
#include <gtest/gtest.h>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/installer.h"

namespace {

class InspectTest : public PackTest {
 protected:
  void SetUp() override {
    installer_ = MakeInstaller({"--run", "data.bin"});
    bytes_ = ReadBytes(installer_);
  }

  TRunResult TestFile(const Bytes& bytes) {
    WriteBytes(scratch_.Path("damaged"), bytes);
    return RunTool(RunTestCommand, {scratch_.Path("damaged")});
  }

  std::string installer_;
  Bytes bytes_;
};

// Cut anywhere behind the stub: the directory no longer reads, a member's data is short, or
// the checksum block is. Cut right behind the data, it is an installer without checksums.
TEST_F(InspectTest, TestFailsOnEveryTruncation) {
  const size_t stubSize = ReadBytes(stub_).size();
  const size_t dataEnd = OpenInstaller(installer_, std::nullopt).ArchiveEnd();
  for (size_t size = stubSize; size < bytes_.size(); size += (size < stubSize + 120 || size >= dataEnd - 10 ? 1 : 97)) {
    const TRunResult run = TestFile(Bytes(bytes_.begin(), bytes_.begin() + size));
    EXPECT_EQ(run.exitCode, size == dataEnd ? 0 : 1) << "cut at " << size;
    if (size == dataEnd) EXPECT_NE(run.err.find("no checksums"), std::string::npos) << run.err;
  }
}

// A flipped bit anywhere in the directory, or in any member's data, is reported: the
// checksums catch what the decoded length does not. Only the bits of a stream's last byte
// behind its final code may decode to the very same bytes, which is then no damage.
TEST_F(InspectTest, TestOnBitFlips) {
  const TInstaller sound = OpenInstaller(installer_, std::nullopt);
  for (size_t at = sound.archiveOffset; at < sound.dataStart; ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes b = bytes_;
      b[at] ^= static_cast<uint8_t>(1u << bit);
      EXPECT_EQ(TestFile(b).exitCode, 1) << at;
    }
  }
  for (const TMember& member : sound.members) {
    const size_t start = sound.dataStart + member.offset;
    for (size_t at = start; at + 1 < start + member.storedSize; at += 5) {
      Bytes b = bytes_;
      b[at] ^= static_cast<uint8_t>(1u << (at % 8));
      const TRunResult run = TestFile(b);
      EXPECT_EQ(run.exitCode, 1) << member.name << " at " << at;
      EXPECT_NE(run.out.find("DAMAGED " + member.name + ": "), std::string::npos) << run.out;
    }
  }
}

TEST_F(InspectTest, TestReportsStreamsThatDecodeShort) {
  // A directory whose unpacked size disagrees with its stream, written by hand.
  const TRunResult run =
      TestFile(HandMadeInstaller({{"short.txt", "twelve bytes", 0}, {"$k$v$t$r.cnf", "[KVTR Configuration]\r\n"}}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("DAMAGED short.txt: decodes to 12 bytes, 0 recorded"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("OK      $k$v$t$r.cnf"), std::string::npos);
  EXPECT_NE(run.err.find("no checksums"), std::string::npos) << run.err;
}

// A signature appends a certificate table behind the archive; nothing changes for the reader,
// and restub leaves it behind.
TEST_F(InspectTest, BytesBehindTheArchiveAreHarmless) {
  Bytes signedFile = bytes_;
  signedFile.resize(signedFile.size() + 5, 0);  // padding to eight bytes
  const Bytes table = SampleData(1500, 9);
  signedFile.insert(signedFile.end(), table.begin(), table.end());
  EXPECT_EQ(TestFile(signedFile).exitCode, 0);
  EXPECT_EQ(RunTool(RunListCommand, {scratch_.Path("damaged")}).exitCode, 0);

  const std::string newStub = scratch_.Path("new-stub");
  WriteBytes(newStub, MakePeStub());
  const std::string out = scratch_.Path("restubbed.exe");
  const TRunResult run = RunTool(RunRestubCommand, {scratch_.Path("damaged"), "--stub", newStub, "-o", out});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Bytes restubbed = ReadBytes(out);
  const size_t stubSize = MakePeStub().size();
  const size_t oldStubSize = ReadBytes(stub_).size();
  ASSERT_EQ(restubbed.size(), stubSize + bytes_.size() - oldStubSize);
  EXPECT_TRUE(std::equal(bytes_.begin() + oldStubSize, bytes_.end(), restubbed.begin() + stubSize));
  const TInstaller installer = OpenInstaller(out, std::nullopt);
  EXPECT_EQ(installer.archiveOffset, stubSize);
  EXPECT_EQ(installer.members.size(), 4u);
  EXPECT_TRUE(installer.hasChecksums);
  EXPECT_EQ(RunTool(RunTestCommand, {out}).exitCode, 0);
}

}  // namespace
