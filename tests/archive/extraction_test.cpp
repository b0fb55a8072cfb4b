#include <gtest/gtest.h>

#include <cmath>

#include "archive/crc32.h"
#include "archive/entry_list.h"
#include "archive/extraction.h"
#include "archive/member.h"
#include "archive_test_support.h"
#include "lzh/lzh.h"
#include "tests/support/fake_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kConfigHead[] = "[KVTR Configuration]\r\n";

// Whole runs on the real disk: the Win32 build reads the configuration through the system.
class ExtractionTest : public ::testing::Test {
 protected:
  std::string Run(const std::vector<TestMember>& members) {
    WriteDiskFile(installer, MakeInstaller(members));
    return RunImage();
  }
  std::string RunImage() {
    ui.messages.clear();
    ui.progress.clear();
    const std::string command = ExtractArchiveAt(installer, kTestStubSize, target);
    EXPECT_FALSE(CancelRequested);
    EXPECT_EQ(EntryCount(), 0);
    return command;
  }
  std::string RunWith(FileSystem& faulty, const std::vector<TestMember>& members) {
    ScopedFileSystem scoped(faulty);
    return Run(members);
  }
  std::vector<std::string> ListLines() { return ReadLines(target + "$d$e$l$.lst"); }
  std::string At(const std::string& name) const { return target + name; }
  static TestMember Config(const std::string& keys) { return ConfigMember(kConfigHead + keys); }

  TempFolder folder;
  std::string installer = folder / "setup.bin";
  std::string target = folder / "target\\";
  FakeUserInterface ui;
  ScopedUserInterface scopedUi{ui};
};

TEST_F(ExtractionTest, FullRunExtractsListsAndBuildsTheCommand) {
  const std::vector<uint8_t> big = RandomBytes(20000, 9);
  const std::string command = Run({DataMember("big.bin", big), TextMember("sub\\b.txt", "bee"),
                                   TextMember("\\c.txt", "sea"),
                                   Config("Executable=SETUP.EXE\r\nParameters=/q /x\r\n")});
  EXPECT_EQ(command, At("SETUP.EXE /q /x"));
  EXPECT_EQ(ReadDiskFile(At("big.bin")), big);
  EXPECT_EQ(ReadDiskText(At("sub\\b.txt")), "bee");
  EXPECT_EQ(ReadDiskText(At("c.txt")), "sea");
  EXPECT_FALSE(DiskFileExists(At("$k$v$t$r.cnf")));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{At("big.bin"), At("sub\\b.txt"), At("c.txt")}));
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_FALSE(ui.progress.empty());
  EXPECT_EQ(ui.progress.back().done, ui.progress.back().total) << "100 percent at the end";
  EXPECT_EQ(ui.progress.front().path, At("$k$v$t$r.cnf")) << "configuration first";
}

TEST_F(ExtractionTest, ConfigurationValuesAndFlags) {
  struct Case { std::string config, command; bool dirsKept; };
  const std::vector<Case> cases = {
      {"", "", true},  // every key absent: all flags on, nothing to start (flag values: ConfigFlag)
      {"Parameters=/q\r\n", "", true},
      {"Executable=run.exe\r\nParameters=\r\n", "run.exe", true},
      {"Executable = run.exe \r\nParameters=  a  b  \r\n", "run.exe a  b", true},
      {"UseDirs=0\r\n", "", false},
      {"usedirs = 0\r\n", "", false},
  };
  for (const Case& c : cases) {
    TempFolder fresh;
    target = fresh / "t\\";
    const std::string command =
        Run({TextMember("d\\f.txt", "f"), TextMember("\\b.txt", "b"), Config(c.config)});
    EXPECT_EQ(command, c.command.empty() ? "" : At(c.command)) << c.config;
    const std::string written = At(c.dirsKept ? "d\\f.txt" : "f.txt");  // the list names what was written
    EXPECT_EQ(ReadDiskText(written), "f") << c.config;
    EXPECT_FALSE(DiskFileExists(At(c.dirsKept ? "f.txt" : "d\\f.txt"))) << c.config;
    EXPECT_EQ(ListLines(), (std::vector<std::string>{written, At("b.txt")})) << c.config;
  }
}

TEST_F(ExtractionTest, OnlyTheConfigurationMember) {
  EXPECT_EQ(Run({Config("Executable=x.exe\r\n")}), At("x.exe"));
  EXPECT_TRUE(DiskFileExists(At("$d$e$l$.lst")));
  EXPECT_TRUE(ListLines().empty());
}

TEST_F(ExtractionTest, SkippedMembersAreNotListedAndCancelEndsTheRun) {
  WriteDiskFile(At("a.txt"), Bytes("old a"));
  WriteDiskFile(At("b.txt"), Bytes("old b"));
  ui.answers = {OverwriteAnswer::No, OverwriteAnswer::Cancel};
  const std::string command =
      Run({TextMember("a.txt", "new a"), TextMember("n.txt", "n"), TextMember("b.txt", "new b"),
           TextMember("late.txt", "late"), Config("OverWrite=0\r\nExecutable=x.exe\r\n")});
  EXPECT_EQ(command, "");
  EXPECT_EQ(ReadDiskText(At("a.txt")), "old a");
  EXPECT_EQ(ReadDiskText(At("b.txt")), "old b");
  EXPECT_EQ(ReadDiskText(At("n.txt")), "n");
  EXPECT_FALSE(DiskFileExists(At("late.txt")));
  EXPECT_EQ(ListLines(), std::vector<std::string>{At("n.txt")});
  EXPECT_EQ(ui.asked, (std::vector<std::string>{At("a.txt"), At("b.txt")}));
}

// Members of 12000 random bytes give three progress reports each (4096, 4096, the rest); the
// configuration one. Report 5 is the first of member 1.
TEST_F(ExtractionTest, CancelDuringMemberKListsKPlusOneLines) {
  std::vector<TestMember> members;
  for (uint32_t i = 0; i < 3; ++i) members.push_back(DataMember("m" + std::to_string(i) + ".bin", RandomBytes(12000, 20 + i)));
  members.push_back(Config("Executable=x.exe\r\n"));
  ui.cancelAtProgress = 5;
  EXPECT_EQ(Run(members), "");
  EXPECT_EQ(ReadDiskFile(At("m0.bin")), members[0].content);
  const std::vector<uint8_t> cut = ReadDiskFile(At("m1.bin"));
  EXPECT_GT(cut.size(), 0u);
  EXPECT_LT(cut.size(), members[1].content.size());
  EXPECT_FALSE(DiskFileExists(At("m2.bin")));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{At("m0.bin"), At("m1.bin")}));
  EXPECT_TRUE(ui.messages.empty());
}

// A member that cannot be written or decoded, or an archive that cannot be opened again, ends
// the run like a cancel: one message, the members before it listed, nothing started.
TEST_F(ExtractionTest, FailuresEndTheRunLikeACancel) {
  const struct { const char* what; FsCall call; int n, error; const char* caption; const char* message; std::vector<std::string> listed; } rows[] = {
      // Creates: 1 the configuration member, 2 the delete list, 3 member a, 4 member b.
      {"target not created", FsCall::Create, 4, kErrorAccessDenied, "Error", "b.txt", {"a.txt"}},
      {"damaged member", FsCall::Open, 0, 0, "Archive read error", "This is not a valid archive", {"a.txt", "b.txt"}},
      {"archive not opened again", FsCall::Open, 2, kErrorSharingViolation, "Error", "Error opening archive file.\r\n", {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempFolder fresh;
    target = fresh / "t\\";
    TestMember b = TextMember("b.txt", "bbbb");
    if (row.n == 0) b.unpackedSize = 50;
    FaultyFileSystem faulty(PlatformFileSystem());
    if (row.n > 0) faulty.FailAt(row.call, row.n, row.error);
    EXPECT_EQ(RunWith(faulty, {TextMember("a.txt", "a"), b, TextMember("c.txt", "c"), Config("Executable=x.exe\r\n")}), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, row.caption);
    EXPECT_NE(ui.messages[0].text.find(row.message), std::string::npos) << ui.messages[0].text;
    std::vector<std::string> listed;
    for (const std::string& name : row.listed) listed.push_back(At(name));
    EXPECT_EQ(ListLines(), listed);
    EXPECT_EQ(DiskFileExists(At("a.txt")), !row.listed.empty());
    EXPECT_FALSE(DiskFileExists(At("c.txt")));
  }
}

// The configuration file is read back once: when it cannot be opened again afterwards (a
// virus scanner holding it), no key reads as missing, so OverWrite=0 still asks and the
// parameters stay.
TEST_F(ExtractionTest, EveryConfigurationKeyComesFromOneReading) {
  WriteDiskFile(At("keep.txt"), Bytes("old"));
  ui.answers = {OverwriteAnswer::No};
  FaultyFileSystem faulty(PlatformFileSystem());
  faulty.LimitTo(At("$k$v$t$r.cnf"));
  faulty.FailAt(FsCall::Open, 2, kErrorSharingViolation, true);
  EXPECT_EQ(RunWith(faulty, {TextMember("keep.txt", "new"), TextMember("a.txt", "a"),
                             Config("OverWrite=0\r\nExecutable=setup.exe\r\nParameters=/q\r\n")}),
            At("setup.exe /q"));
  EXPECT_EQ(ReadDiskText(At("keep.txt")), "old");
  EXPECT_EQ(ui.asked, std::vector<std::string>{At("keep.txt")});
  EXPECT_EQ(ListLines(), std::vector<std::string>{At("a.txt")});
  EXPECT_TRUE(ui.messages.empty());
}

// A configuration file that cannot be read back at all is a failed member: the user is told
// which file and why, no other member is written (a file to be asked about stays as it was)
// and nothing starts.
TEST_F(ExtractionTest, UnreadableConfigurationEndsTheRunLikeAFailedMember) {
  struct Case { FsCall kind; int n, error; };
  for (const Case& c : {Case{FsCall::Open, 1, kErrorSharingViolation}, Case{FsCall::Open, 1, kErrorFileNotFound},
                        Case{FsCall::Read, 1, kErrorAccessDenied}, Case{FsCall::Read, 2, kErrorLockViolation}}) {
    SCOPED_TRACE(std::string(FsCallName(c.kind)) + " #" + std::to_string(c.n) + " fails with " + std::to_string(c.error));
    TempFolder fresh;
    target = fresh / "t\\";
    WriteDiskFile(At("keep.txt"), Bytes("old"));
    FaultyFileSystem faulty(PlatformFileSystem());
    faulty.LimitTo(At("$k$v$t$r.cnf"));
    faulty.FailAt(c.kind, c.n, c.error);
    EXPECT_EQ(RunWith(faulty, {TextMember("keep.txt", "new"), TextMember("a.txt", "a"),
                               Config("OverWrite=0\r\nExecutable=setup.exe\r\n" + std::string(5000, ';') + "\r\n")}),
              "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_EQ(ui.messages[0].text.rfind("Error reading file " + At("$k$v$t$r.cnf") + ".\r\n", 0), 0u) << ui.messages[0].text;
    EXPECT_EQ(ReadDiskText(At("keep.txt")), "old");
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_FALSE(DiskFileExists(At("a.txt")));
    EXPECT_FALSE(DiskFileExists(At("$k$v$t$r.cnf")));
    EXPECT_TRUE(ListLines().empty());
  }
}

// With checksums the directory (and the block itself) is checked before anything is written,
// and a member whose written bytes differ from what was packed ends the run like a failed
// read, naming the file. An installer without a block runs exactly as installers always did.
TEST_F(ExtractionTest, ChecksumsStopDamagedMembersAndMissingOnesChangeNothing) {
  const std::vector<uint8_t> big = RandomBytes(9000, 3);
  std::vector<uint8_t> flipped = big;
  flipped[4500] ^= 1;
  const std::string config = std::string(kConfigHead) + "Executable=setup.exe\r\nParameters=/q\r\n";
  std::string otherConfig = config;
  otherConfig[otherConfig.size() - 3] = 'x';  // Parameters=/x
  enum Change { Sound, NoBlock, BlockFlip, WrongCount, DirectoryByte, LastDiffers, ConfigDiffers };
  // refused: "This is not a valid archive" before anything is written; damaged: the file that
  // the checksum error names.
  const struct { const char* what; Change change; bool refused; std::string damaged; std::vector<std::string> listed; } rows[] = {
      {"sound", Sound, false, "", {"a.txt", "big.bin"}},
      {"no block", NoBlock, false, "", {"a.txt", "big.bin"}},
      {"damaged block", BlockFlip, true, "", {}},
      {"wrong count", WrongCount, true, "", {}},
      {"directory changed", DirectoryByte, true, "", {}},
      {"last member", LastDiffers, false, "big.bin", {"a.txt", "big.bin"}},
      {"configuration member", ConfigDiffers, false, "$k$v$t$r.cnf", {}}};
  std::vector<FakeUserInterface::Progress> soundProgress;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempFolder fresh;
    target = fresh / "t\\";
    TestMember last = DataMember("big.bin", big);
    if (row.change == LastDiffers) last.stream = LzhEncode(flipped.data(), flipped.size());
    TestMember configMember = ConfigMember(config);
    if (row.change == ConfigDiffers) configMember.stream = LzhEncode(Bytes(otherConfig).data(), otherConfig.size());
    ArchiveBytes image = MakeInstaller({TextMember("a.txt", "a"), last, configMember}, row.change != NoBlock);
    const size_t block = image.size() - ChecksumBlockSize(3);
    if (row.change == BlockFlip) image[block + 20] ^= 0x40;
    if (row.change == WrongCount) {
      image[block + 8] = 2;
      const uint32_t crc = Crc32(image.data() + block, image.size() - block - 4);
      for (int i = 0; i < 4; ++i) image[image.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    if (row.change == DirectoryByte) image[kTestStubSize + 3] = 'b';  // 01 06 05 "a.txt": now b.txt
    WriteDiskFile(installer, image);
    const std::string command = RunImage();
    const bool started = !row.refused && row.damaged.empty();
    EXPECT_EQ(command, started ? At("setup.exe /q") : "");
    if (started) {
      EXPECT_TRUE(ui.messages.empty());
      EXPECT_EQ(ReadDiskFile(At("big.bin")), big);
      for (FakeUserInterface::Progress& p : ui.progress) p.path.erase(0, target.size());
      if (row.change == Sound) soundProgress = ui.progress;
      ASSERT_EQ(ui.progress.size(), soundProgress.size());
      for (size_t i = 0; i < soundProgress.size(); ++i)
        EXPECT_TRUE(ui.progress[i].path == soundProgress[i].path && ui.progress[i].done == soundProgress[i].done);
    } else {
      ASSERT_EQ(ui.messages.size(), 1u);
      const std::string told =
          row.refused ? "This is not a valid archive" : "Checksum error in file " + At(row.damaged) + ".";
      EXPECT_EQ(ui.messages[0].text.rfind(told, 0), 0u) << ui.messages[0].text;
    }
    std::vector<std::string> listed;
    for (const std::string& name : row.listed) listed.push_back(At(name));
    EXPECT_EQ(DiskFileExists(At("$d$e$l$.lst")), !row.refused);
    if (!row.refused) {
      EXPECT_EQ(ListLines(), listed);
    }
    EXPECT_EQ(DiskFileExists(At("a.txt")), !listed.empty());
  }
}

TEST_F(ExtractionTest, UnreadableArchivesWriteNothing) {
  const ArchiveBytes good = MakeInstaller({TextMember("a.txt", "a"), Config("Executable=x\r\n")});
  for (size_t size : {size_t{0}, size_t{kTestStubSize} + 1, good.size() / 2, good.size() - 1}) {
    WriteDiskFile(installer, ArchiveBytes(good.begin(), good.begin() + size));
    EXPECT_EQ(RunImage(), "") << size;
    EXPECT_EQ(ui.messages.size(), 1u) << size;
    EXPECT_FALSE(DiskFileExists(At("a.txt")));
    EXPECT_FALSE(DiskFileExists(At("$d$e$l$.lst")));
  }
  WriteDiskFile(installer, WithStub({1, 0}));
  EXPECT_EQ(RunImage(), "") << "a directory without the configuration member";
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "This is not a valid archive");
}

}  // namespace
