// Whole extraction runs on the real disk (the Win32 build reads the configuration through the
// system), watched through the fault-injecting wrapper.
#include <gtest/gtest.h>

#include <cmath>

#include "archive/format.h"
#include "archive/member.h"
#include "archive_test_support.h"
#include "host/exceptions.h"
#include "lzh/lzh.h"
#include "tests/support/faulty_file_system.h"

namespace {

// 2023-03-15 12:00:00 as a DOS stamp.
constexpr uint32_t kStamp45000_5 = ((2023u - 1980u) << 25) | (3u << 21) | (15u << 16) | (12u << 11);

using Names = std::vector<std::string>;

class ExtractionTest : public ::testing::Test {
 protected:
  std::string Run(TestRun& r, const std::vector<TestMember>& members, bool checksums = false) {
    WriteDiskFile(installer, MakeInstaller(members, checksums));
    return RunImage(r);
  }
  std::string RunImage(TestRun& r) {
    const std::string command = r.Extract(installer, target);
    EXPECT_FALSE(r.user.cancelRequested);
    EXPECT_EQ(r.run.directory.entries.EntryCount(), 0);
    EXPECT_EQ(disk.OpenHandleCount(), 0);
    return command;
  }
  // The delete list's lines, the target folder taken off.
  Names Listed() {
    Names names = ReadLines(NativePath(target + kDeleteListName));
    for (std::string& name : names) name.erase(0, name.compare(0, target.size(), target) == 0 ? target.size() : 0);
    return names;
  }
  std::string At(const std::string& name) const { return target + name; }
  // The calls of these kinds in order, with the file name each concerned.
  Names Changes(std::initializer_list<FsCall> kinds) const {
    Names seen;
    for (const FsChange& c : disk.Changes())
      for (FsCall kind : kinds)
        if (c.call == kind && c.path.size() > target.size() && c.path.compare(0, target.size(), target) == 0)
          seen.push_back(std::string(FsCallName(kind)) + " " + c.path.substr(target.size()));
    return seen;
  }
  void Fresh() { target = folder.Internal("t" + std::to_string(++runs) + "\\"); }

  ScratchFolder folder;
  int runs = 0;
  std::string installer = folder.Internal("setup.bin");
  std::string target = folder.Internal("target\\");
  FaultyFileSystem disk;
  ScopedFileSystem scoped{disk};
};

// Stored names with and without folders, the configuration first, dates before attributes, and
// every stored byte read once: the last report shows 100 percent.
TEST_F(ExtractionTest, FullRunExtractsListsAndBuildsTheCommand) {
  const std::vector<uint8_t> big = RandomBytes(150000, 9);  // several file-write blocks
  TestRun r;
  TestMember readOnly = TextMember("sub\\deeper\\b.txt", "bee");
  readOnly.attributes = 0x21;
  EXPECT_EQ(Run(r, {{"big.bin", big}, readOnly, TextMember("\\c.txt", "sea"),
                    Config("Executable=SETUP.EXE\r\nParameters=/q /x\r\n")}),
            At("SETUP.EXE /q /x"));
  EXPECT_EQ(ReadDiskFile(At("big.bin")), big);
  EXPECT_EQ(ReadDiskText(At("sub\\deeper\\b.txt")), "bee");
  EXPECT_EQ(ReadDiskText(At("c.txt")), "sea");
  EXPECT_FALSE(DiskFileExists(At(kConfigMemberName)));
  EXPECT_EQ(Listed(), Names({"big.bin", "sub\\deeper\\b.txt", "c.txt"}));
  EXPECT_EQ(r.user.progress.front().path, At(kConfigMemberName));
  EXPECT_EQ(r.user.progress.back().done, r.user.progress.back().total);
  EXPECT_EQ(Changes({FsCall::MakeDirectory, FsCall::SetStamp, FsCall::SetAttributes}),
            (Names{"set-stamp big.bin", "set-attributes big.bin", "mkdir sub", "mkdir sub\\deeper",
                                      "set-stamp sub\\deeper\\b.txt", "set-attributes sub\\deeper\\b.txt",
                                      "set-stamp c.txt", "set-attributes c.txt"}));
  EXPECT_EQ(disk.Changes()[disk.Changes().size() - 6].value, kStamp45000_5);
  EXPECT_EQ(disk.Changes()[disk.Changes().size() - 5].value, 0x21u);
}

TEST_F(ExtractionTest, ConfigurationValuesAndFlags) {
  struct Case { std::string config, command; bool dirsKept, datesSet; };
  const std::vector<Case> cases = {
      {"", "", true, true},  // every key absent: all flags on, nothing to start
      {"Executable=run.exe\r\nParameters=\r\nFileDate=0\r\nAttributes=0\r\n", "run.exe", true, false},
      {"Executable = run.exe \r\nParameters=  a  b  \r\n", "run.exe a  b", true, true},
      {"usedirs = 0\r\n", "", false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    Fresh();
    TestRun r;
    EXPECT_EQ(Run(r, {TextMember("d\\f.txt", "f"), TextMember("\\b.txt", "b"), Config(c.config)}),
              c.command.empty() ? "" : At(c.command));
    const std::string written = c.dirsKept ? "d\\f.txt" : "f.txt";  // the list names what was written
    EXPECT_EQ(ReadDiskText(At(written)), "f");
    EXPECT_FALSE(DiskFileExists(At(c.dirsKept ? "f.txt" : "d\\f.txt")));
    EXPECT_EQ(Listed(), Names({written, "b.txt"}));
    EXPECT_EQ(Changes({FsCall::SetStamp}).size(), c.datesSet ? 2u : 0u);
  }
  Fresh();
  TestRun r;
  EXPECT_EQ(Run(r, {Config("Executable=x.exe\r\n")}), At("x.exe"));
  EXPECT_TRUE(DiskFileExists(At(kDeleteListName)) && Listed().empty()) << "an empty list for the configuration alone";
}

// OverWrite=0: No keeps the file untouched and unlisted, Yes replaces it, Cancel ends the run.
// OverWrite=1 replaces even a read-only file without asking.
TEST_F(ExtractionTest, OverwritePromptAnswersAndCancel) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteDiskFile(At(name), Bytes("old"));
  TestRun r;
  r.user.answers = {OverwriteAnswer::No, OverwriteAnswer::Yes, OverwriteAnswer::Cancel};
  EXPECT_EQ(Run(r, {TextMember("a.txt", "new"), TextMember("n.txt", "n"), TextMember("b.txt", "new"),
                    TextMember("c.txt", "new"), TextMember("late.txt", "late"), Config("OverWrite=0\r\nExecutable=x.exe\r\n")}),
            "");
  EXPECT_EQ(r.user.asked, Names({At("a.txt"), At("b.txt"), At("c.txt")}));
  EXPECT_EQ(ReadDiskText(At("a.txt")), "old");
  EXPECT_EQ(ReadDiskText(At("b.txt")), "new");
  EXPECT_EQ(ReadDiskText(At("c.txt")), "old");
  EXPECT_FALSE(DiskFileExists(At("late.txt")));
  EXPECT_EQ(Listed(), Names({"n.txt", "b.txt"}));
  for (const FsChange& c : disk.Changes()) EXPECT_NE(c.path, At("a.txt")) << FsCallName(c.call);
  EXPECT_FALSE(r.run.failure.Happened());

  TestRun again;
  WriteDiskFile(At("a.txt"), Bytes("old"));
  ASSERT_EQ(SetAttributes(At("a.txt"), 1), 0);
  EXPECT_EQ(Run(again, {TextMember("a.txt", "new"), Config("Executable=x.exe\r\n")}), At("x.exe"));
  EXPECT_EQ(ReadDiskText(At("a.txt")), "new");
  EXPECT_TRUE(again.user.asked.empty());
}

// Members of 12000 random bytes give three progress reports each; report 5 is the first of
// member 1, which is cut short, keeps its date and is listed; nothing later is written.
TEST_F(ExtractionTest, CancelDuringMemberKListsKPlusOneLines) {
  std::vector<TestMember> members;
  for (uint32_t i = 0; i < 3; ++i) members.push_back({"m" + std::to_string(i) + ".bin", RandomBytes(12000, 20 + i)});
  members.push_back(Config("Executable=x.exe\r\n"));
  TestRun r;
  r.user.cancelAtProgress = 5;
  EXPECT_EQ(Run(r, members), "");
  EXPECT_EQ(ReadDiskFile(At("m0.bin")), members[0].content);
  EXPECT_LT(ReadDiskFile(At("m1.bin")).size(), members[1].content.size());
  EXPECT_FALSE(DiskFileExists(At("m2.bin")));
  EXPECT_EQ(Listed(), Names({"m0.bin", "m1.bin"}));
  EXPECT_EQ(Changes({FsCall::SetStamp}), (Names{"set-stamp m0.bin", "set-stamp m1.bin"}));
  EXPECT_FALSE(r.run.failure.Happened());
}

// A member that cannot be written or decoded, or an archive that cannot be opened again, ends
// the run like a cancel: the failure names the file, the members before it are listed, nothing
// is started. A decoder may hand over up to 60 bytes past the recorded size, never into the file.
TEST_F(ExtractionTest, FailuresEndTheRunLikeACancel) {
  const std::vector<uint8_t> content = RandomBytes(100, 5);
  auto members = [&](int32_t recorded) {
    TestMember b{"b.txt", content};
    b.unpackedSize = recorded;
    return std::vector<TestMember>{TextMember("a.txt", "a"), b, TextMember("c.txt", "c"), Config("Executable=x.exe\r\n")};
  };
  TestRun clean;
  Run(clean, members(100));
  const int lastRead = disk.Calls(FsCall::Read);  // each member's data is one read; c's is the last
  const struct { const char* what; FsCall call; const char* only; int n, error; int32_t recorded; const char* caption;
                 std::string message; std::vector<std::string> listed; } rows[] = {
      {"target not created", FsCall::Create, "b.txt", 1, kErrorAccessDenied, 100, "Error", "Error creating file @b.txt.\r\nDatei", {"a.txt"}},
      {"disk full", FsCall::Write, "b.txt", 1, kErrorWindowsDiskFull, 100, "Error", "Error writing file @b.txt.\r\n" + EInOutError::MessageFor(kErrorDiskFull), {"a.txt", "b.txt"}},
      {"read fails", FsCall::Read, "", lastRead - 1, kErrorLockViolation, 100, "Error", "Error reading archive file " + installer, {"a.txt", "b.txt"}},
      {"archive not opened again", FsCall::Open, "", 2, kErrorSharingViolation, 100, "Error", "Error opening archive file.\r\n", {}},
      {"surplus of 60", FsCall::Open, "", 0, 0, 40, "", "", {"a.txt", "b.txt", "c.txt"}},
      {"surplus of 61", FsCall::Open, "", 0, 0, 39, "Archive read error", "This is not a valid archive", {"a.txt", "b.txt"}},
      {"too short", FsCall::Open, "", 0, 0, 101, "Archive read error", "This is not a valid archive", {"a.txt", "b.txt"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Fresh();
    disk.ResetCounts();
    disk.LimitTo(*row.only ? At(row.only) : "");
    disk.FailAt(row.call, row.n, row.error);
    TestRun r;
    const std::string command = Run(r, members(row.recorded));
    disk.Disarm();
    std::string message = row.message;
    if (message.find('@') != std::string::npos) message.replace(message.find('@'), 1, target);
    EXPECT_EQ(command, message.empty() ? At("x.exe") : "");
    EXPECT_EQ(r.run.failure.caption, row.caption);
    EXPECT_EQ(r.run.failure.text.rfind(message, 0), 0u) << r.run.failure.text;
    EXPECT_EQ(Listed(), row.listed);
    if (row.recorded == 40) {
      EXPECT_EQ(ReadDiskFile(At("b.txt")), std::vector<uint8_t>(content.begin(), content.begin() + 40));
    }
  }
}

// The configuration file is read back once: when it cannot be opened again afterwards (a virus
// scanner holding it, as the system's reader opens it per key), no key reads as missing. When
// it cannot be read back at all, the run ends like a failed member and no prompt is shown.
TEST_F(ExtractionTest, NoConfigurationKeyReadsAsMissing) {
  const std::vector<TestMember> members = {TextMember("keep.txt", "new"), TextMember("a.txt", "a"),
                                           Config("OverWrite=0\r\nExecutable=setup.exe\r\nParameters=/q\r\n" + std::string(5000, ';') + "\r\n")};
  const struct { int n, error; bool persistent; FsCall call; } rows[] = {
      {2, kErrorSharingViolation, true, FsCall::Open}, {1, kErrorFileNotFound, false, FsCall::Open},
      {2, kErrorLockViolation, false, FsCall::Read}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(FsCallName(row.call)) + " #" + std::to_string(row.n));
    Fresh();
    WriteDiskFile(At("keep.txt"), Bytes("old"));
    disk.ResetCounts();
    disk.LimitTo(At(kConfigMemberName));
    disk.FailAt(row.call, row.n, row.error, row.persistent);
    TestRun r;
    r.user.answers = {OverwriteAnswer::No};
    const std::string command = Run(r, members);
    disk.Disarm();
    disk.LimitTo("");
    EXPECT_EQ(ReadDiskText(At("keep.txt")), "old");
    EXPECT_FALSE(DiskFileExists(At(kConfigMemberName)));
    if (row.persistent) {
      EXPECT_EQ(command, At("setup.exe /q"));
      EXPECT_EQ(r.user.asked, Names{At("keep.txt")});
      EXPECT_EQ(Listed(), Names({"a.txt"}));
    } else {
      EXPECT_EQ(command, "");
      EXPECT_EQ(r.run.failure.text.rfind("Error reading file " + At(kConfigMemberName) + ".\r\n", 0), 0u);
      EXPECT_TRUE(r.user.asked.empty());
      EXPECT_TRUE(Listed().empty());
    }
  }
}

// With checksums the directory (and the block itself) is checked before anything is written,
// and a member whose written bytes differ from what was packed ends the run, naming the file.
// An installer without a block runs as installers always did; one without members (or cut
// short: the directory test) writes nothing. (A block for another count: the fault walk.)
TEST_F(ExtractionTest, ChecksumsStopDamagedMembersAndMissingOnesChangeNothing) {
  const std::vector<uint8_t> big = RandomBytes(9000, 3);
  std::vector<uint8_t> flipped = big;
  flipped[4500] ^= 1;
  const std::string keys = "Executable=setup.exe\r\nParameters=/q\r\n";
  const std::string other = std::string(kConfigHead) + "Executable=setup.exe\r\nParameters=/x\r\n";
  enum Change { Sound, NoBlock, BlockByte, DirectoryByte, LastDiffers, ConfigDiffers, NoMembers };
  const struct { Change change; bool refused; std::string damaged; std::vector<std::string> listed; } rows[] = {
      {Sound, false, "", {"a.txt", "big.bin"}}, {NoBlock, false, "", {"a.txt", "big.bin"}},
      {BlockByte, true, "", {}}, {DirectoryByte, true, "", {}}, {LastDiffers, false, "big.bin", {"a.txt", "big.bin"}},
      {ConfigDiffers, false, kConfigMemberName, {}}, {NoMembers, true, "", {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.change);
    Fresh();
    TestMember last{"big.bin", big};
    if (row.change == LastDiffers) last.stream = LzhEncode(flipped.data(), flipped.size());
    TestMember config = Config(keys);
    if (row.change == ConfigDiffers) config.stream = LzhEncode(Bytes(other).data(), other.size());
    ArchiveBytes image = MakeInstaller({TextMember("a.txt", "a"), last, config}, row.change != NoBlock);
    if (row.change == BlockByte) image[image.size() - ChecksumBlockSize(3) + 20] ^= 0x40;  // a member's CRC
    if (row.change == DirectoryByte) image[kTestStubSize + 3] = 'b';  // 01 06 05 "a.txt": now b.txt
    if (row.change == NoMembers) image = WithStub({kTagListStart, kTagListEnd});
    WriteDiskFile(installer, image);
    TestRun r;
    const std::string command = RunImage(r);
    const bool started = !row.refused && row.damaged.empty();
    EXPECT_EQ(command, started ? At("setup.exe /q") : "");
    const std::string told = started ? "" : row.refused ? kInvalidArchiveText : "Checksum error in file " + At(row.damaged) + ".";
    EXPECT_EQ(r.run.failure.text.rfind(told, 0), 0u) << r.run.failure.text;
    EXPECT_EQ(DiskFileExists(At(kDeleteListName)), !row.refused);
    if (!row.refused) {
      EXPECT_EQ(Listed(), row.listed);
    }
    if (started) {
      EXPECT_EQ(ReadDiskFile(At("big.bin")), big);
    }
  }
}

// A directory that cannot be made, however deep, is the system's failure; the folders made
// are recorded parents first, for the clean-up.
TEST_F(ExtractionTest, DirectoryChainsAndEntriesThatCannotBeUsed) {
  std::vector<std::string> created;
  EXPECT_THROW(CreateDirectoryChain("relative", created), Exception);
  CreateDirectoryChain(At("a\\b\\"), created);
  CreateDirectoryChain(At("a\\c"), created);
  EXPECT_EQ(std::vector<std::string>(created.end() - 3, created.end()),
            (std::vector<std::string>{At("a"), At("a\\b"), At("a\\c")}));
  disk.FailAt(FsCall::MakeDirectory, 1, kErrorAccessDenied, true);
  try {
    CreateDirectoryChain(At("z"), created);
    ADD_FAILURE() << "no failure";
  } catch (const Exception& failure) {
    EXPECT_EQ(failure.Message(), "This is not a valid directory name");
  }
  // Thousands of missing levels are walked without deep recursion.
  std::string deep = At("deep");
  for (int i = 0; i < 3000; ++i) deep += "\\d";
  EXPECT_THROW(CreateDirectoryChain(deep, created), Exception);
  disk.Disarm();
  // A date that does not convert leaves the run as the system's failure, before the file.
  TestRun r;
  EXPECT_THROW(Run(r, {{"inf.txt", Bytes("x"), 32, HUGE_VALL}, Config("")}), EConvertError);
  EXPECT_FALSE(DiskFileExists(At("inf.txt")));
}

}  // namespace
