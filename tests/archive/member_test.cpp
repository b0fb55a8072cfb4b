#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/member.h"
#include "archive_test_support.h"
#include "host/exceptions.h"
#include "lzh/lzh.h"
#include "tests/support/fake_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kSetup[] = "C:\\prog\\setup.exe";
const char kTarget[] = "C:\\Temp";

// 2023-03-15 12:00:00 as a DOS stamp.
constexpr uint32_t kStamp45000_5 = ((2023u - 1980u) << 25) | (3u << 21) | (15u << 16) | (12u << 11);

class MemberTest : public ::testing::Test {
 protected:
  void Load(const std::vector<TestMember>& members) {
    fs.AddFile(kSetup, MakeInstaller(members));
    fs.AddDirectory(kTarget);
    ASSERT_TRUE(ReadArchiveDirectoryAt(kSetup, kTestStubSize));
    SetInputBufferSize(4096);
    SetOutputBufferSize(4096);
    LzhReadProc = ReadMemberBytes;
    LzhWriteProc = WriteMemberBytes;
    RunBytesRead = 0;
    RunTotal = 1000000;
    ASSERT_TRUE(OpenArchiveData());
    faulty.ResetCounts();
  }
  void TearDown() override {
    CloseArchiveData();
    ClearEntries();
    CancelRequested = false;
    ExtractionFailed = false;
    EXPECT_EQ(fs.OpenHandleCount(), 0);
  }
  TMemberResult Extract(int index, bool useDirs = true, bool overwrite = true, bool setAttributes = true,
                        bool setDate = true) {
    return ExtractMember(index, kTarget, useDirs, overwrite, setAttributes, setDate);
  }
  // One message that holds each of the parts; then ready for the next failure.
  void ExpectFailure(const std::string& caption, std::initializer_list<std::string> parts) {
    EXPECT_TRUE(ExtractionFailed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, caption);
    for (const std::string& part : parts) EXPECT_NE(ui.messages[0].text.find(part), std::string::npos) << ui.messages[0].text;
    ExtractionFailed = false;
    ui.messages.clear();
  }
  std::vector<std::string> MadeDirectories() const {
    std::vector<std::string> made;
    for (const FsEvent& e : fs.Events())
      if (e.change == FsChange::MakeDirectory) made.push_back(e.path);
    return made;
  }

  MemoryFileSystem fs;
  FaultyFileSystem faulty{fs};
  ScopedFileSystem scopedFs{faulty};
  FakeUserInterface ui;
  ScopedUserInterface scopedUi{ui};
};

TEST_F(MemberTest, UseDirsDropsOneLeadingBackslashAndCreatesParentsFirst) {
  Load({TextMember("\\sub\\a.txt", "alpha"), TextMember("sub2\\deeper\\b.txt", "beta")});
  EXPECT_EQ(Extract(0).target, "C:\\Temp\\sub\\a.txt");
  EXPECT_EQ(fs.FileText("C:\\Temp\\sub\\a.txt"), "alpha");
  EXPECT_EQ(Extract(1).target, "C:\\Temp\\sub2\\deeper\\b.txt");
  EXPECT_EQ(fs.FileText("C:\\Temp\\sub2\\deeper\\b.txt"), "beta");
  EXPECT_EQ(MadeDirectories(),
            (std::vector<std::string>{"C:\\Temp\\sub", "C:\\Temp\\sub2", "C:\\Temp\\sub2\\deeper"}));
  const TMemberResult flat = Extract(1, false);  // UseDirs off: straight into the target
  EXPECT_TRUE(flat.written);
  EXPECT_EQ(flat.target, "C:\\Temp\\b.txt");
  EXPECT_EQ(fs.FileText("C:\\Temp\\b.txt"), "beta");
}

TEST_F(MemberTest, OverwritePromptAnswers) {
  Load({TextMember("a.txt", "new")});
  fs.AddFile("C:\\Temp\\a.txt", Bytes("old"), kAttrReadOnly | kAttrArchive, 0x12345678);
  ui.answers = {OverwriteAnswer::No, OverwriteAnswer::Cancel, OverwriteAnswer::Yes};

  EXPECT_FALSE(Extract(0, true, false).written);
  EXPECT_EQ(ui.asked, std::vector<std::string>{"C:\\Temp\\a.txt"});
  const MemoryFileSystem::File* kept = fs.FindFile("C:\\Temp\\a.txt");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(fs.FileText("C:\\Temp\\a.txt"), "old");
  EXPECT_EQ(kept->attributes, kAttrReadOnly | kAttrArchive);
  EXPECT_EQ(kept->stamp, 0x12345678u);
  EXPECT_FALSE(CancelRequested);

  EXPECT_FALSE(Extract(0, true, false).written);
  EXPECT_TRUE(CancelRequested);
  EXPECT_EQ(fs.FileText("C:\\Temp\\a.txt"), "old");
  CancelRequested = false;

  EXPECT_TRUE(Extract(0, true, false).written);
  EXPECT_EQ(fs.FileText("C:\\Temp\\a.txt"), "new");
  EXPECT_EQ(ui.asked.size(), 3u);

  // With OverWrite on, even a read-only file is replaced without asking.
  fs.AddFile("C:\\Temp\\a.txt", Bytes("old"), kAttrReadOnly);
  EXPECT_TRUE(Extract(0).written);
  EXPECT_EQ(fs.FileText("C:\\Temp\\a.txt"), "new");
  EXPECT_EQ(ui.asked.size(), 3u);
}

TEST_F(MemberTest, StoredSizeZeroGivesAnEmptyFileAndOneProgressReport) {
  TestMember empty = TextMember("empty.txt", "");
  empty.stream = ArchiveBytes{};
  Load({empty});
  EXPECT_TRUE(Extract(0).written);
  const MemoryFileSystem::File* file = fs.FindFile("C:\\Temp\\empty.txt");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->bytes.empty());
  ASSERT_EQ(ui.progress.size(), 1u);
  EXPECT_EQ(ui.progress[0].path, "C:\\Temp\\empty.txt");
  EXPECT_EQ(faulty.Calls(FsCall::Read), 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MemberTest, DateBeforeAttributesAndOnlyWhenAsked) {
  Load({{"ro.txt", Bytes("x"), kAttrReadOnly | kAttrArchive}, {"old.txt", Bytes("x"), 32, 29000.0L},  // 1979
        {"late.txt", Bytes("x"), 32, 73500.0L}, TextMember("plain.txt", "x")});                   // 2101
  Extract(0);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\ro.txt")->stamp, kStamp45000_5) << "a read-only file gets its date first";
  EXPECT_EQ(fs.FindFile("C:\\Temp\\ro.txt")->attributes, kAttrReadOnly | kAttrArchive);
  Extract(1);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\old.txt")->stamp, kMemoryFsClockStamp);
  Extract(2);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\late.txt")->stamp, kMemoryFsClockStamp);
  Extract(3, true, true, false, false);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\plain.txt")->stamp, kMemoryFsClockStamp);
  Extract(0, true, true, false, false);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\ro.txt")->attributes & kAttrReadOnly, 0u);
}

// The read procedure never delivers past a member's stored size, so each member consumes
// exactly its own bytes; nothing once a cancel is requested.
TEST_F(MemberTest, MembersConsumeExactlyTheirStoredSize) {
  const std::vector<uint8_t> a = RandomBytes(10000, 3), b = RandomBytes(10000, 4);
  Load({DataMember("a.bin", a), DataMember("b.bin", b)});
  const int32_t stored = static_cast<int32_t>(LzhEncode(a.data(), a.size()).size());
  Extract(0);
  EXPECT_EQ(MemberBytesRead, stored);
  EXPECT_EQ(RunBytesRead, stored);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\a.bin")->bytes, a);
  Extract(1);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\b.bin")->bytes, b);
  EXPECT_EQ(ui.progress.back().done, RunBytesRead);

  SeekFile(ArchiveDataFile, DataStart, 0);
  MemberStoredSize = 1303;
  MemberBytesRead = 0;
  std::vector<uint8_t> buffer(4096);
  uint16_t delivered = 99;
  for (uint16_t expected : {1303, 0}) {
    ReadMemberBytes(buffer.data(), 4096, delivered);
    EXPECT_EQ(delivered, expected);
  }
  MemberStoredSize = 2000;
  CancelRequested = true;
  ReadMemberBytes(buffer.data(), 4096, delivered);
  EXPECT_EQ(delivered, 0);
}

TEST_F(MemberTest, DecodedLengthMustMatchTheRecordedSize) {
  const std::vector<uint8_t> content = RandomBytes(100, 5);
  auto member = [&](const std::string& name, int32_t recorded) {
    TestMember m = DataMember(name, content);
    m.unpackedSize = recorded;
    return m;
  };
  Load({member("exact.bin", 100), member("surplus60.bin", 40), member("surplus61.bin", 39),
        member("short.bin", 101)});
  Extract(0);
  Extract(1);
  EXPECT_FALSE(ExtractionFailed);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\surplus60.bin")->bytes,
            std::vector<uint8_t>(content.begin(), content.begin() + 40))
      << "nothing past the recorded size reaches the file";
  Extract(2);
  EXPECT_EQ(fs.FindFile("C:\\Temp\\surplus61.bin")->bytes.size(), 39u);
  ExpectFailure("Archive read error", {"This is not a valid archive"});
  Extract(3);
  ExpectFailure("Archive read error", {"This is not a valid archive"});
}

TEST_F(MemberTest, CancelDuringAMemberLeavesItShortWithoutComplaint) {
  const std::vector<uint8_t> big = RandomBytes(30000, 6);
  Load({DataMember("big.bin", big)});
  ui.cancelAtProgress = 1;
  EXPECT_TRUE(Extract(0).written);
  const MemoryFileSystem::File* file = fs.FindFile("C:\\Temp\\big.bin");
  ASSERT_NE(file, nullptr);
  EXPECT_LT(file->bytes.size(), big.size());
  EXPECT_TRUE(std::equal(file->bytes.begin(), file->bytes.end(), big.begin()));
  EXPECT_EQ(file->stamp, kStamp45000_5) << "a cut-short member gets its date all the same";
  EXPECT_FALSE(ExtractionFailed);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(MemberTest, FailuresNameTheFileAndStopTheRun) {
  Load({DataMember("a.bin", RandomBytes(9000, 7)), TextMember("b.txt", "b"), TextMember("c.txt", "c")});
  faulty.FailAt(FsCall::Write, 2, kErrorWindowsDiskFull);
  EXPECT_TRUE(Extract(0).written) << "created, so it is listed";
  ExpectFailure("Error", {"C:\\Temp\\a.bin", EInOutError::MessageFor(kErrorDiskFull)});
  EXPECT_LE(fs.FindFile("C:\\Temp\\a.bin")->bytes.size(), 4096u);
  faulty.FailAt(FsCall::Create, faulty.Calls(FsCall::Create) + 1, kErrorAccessDenied);
  EXPECT_FALSE(Extract(1).written);
  ExpectFailure("Error", {"C:\\Temp\\b.txt", "Dateizugriff verweigert"});
  faulty.FailAt(FsCall::Read, faulty.Calls(FsCall::Read) + 1, kErrorFileNotFound);
  Extract(2);
  ExpectFailure("Error", {kSetup});
}

TEST_F(MemberTest, DirectoryChainFailures) {
  fs.AddDirectory(kTarget);
  EXPECT_THROW(CreateDirectoryChain(""), Exception);
  EXPECT_THROW(CreateDirectoryChain("relative"), Exception);
  EXPECT_NO_THROW(CreateDirectoryChain("C:"));
  EXPECT_NO_THROW(CreateDirectoryChain("C:\\Temp\\x\\y\\"));
  EXPECT_TRUE(fs.HasDirectory("C:\\Temp\\x\\y"));
  faulty.FailAt(FsCall::MakeDirectory, faulty.Calls(FsCall::MakeDirectory) + 1, kErrorAccessDenied);
  try {
    CreateDirectoryChain("C:\\Temp\\z");
    ADD_FAILURE() << "no failure";
  } catch (const Exception& failure) {
    EXPECT_EQ(failure.Message(), "This is not a valid directory name");
  }
  // Thousands of missing levels are created without deep recursion (up to where the file
  // system refuses the length).
  std::string deep = "C:\\Temp\\deep";
  for (int i = 0; i < 3000; ++i) deep += "\\d";
  faulty.Disarm();
  EXPECT_THROW(CreateDirectoryChain(deep), Exception);
}

TEST_F(MemberTest, EmptyNameOrNonFiniteDateIsNoCrash) {
  Load({TextMember("", "x"), {"inf.txt", Bytes("x"), 32, HUGE_VALL}});
  EXPECT_FALSE(Extract(0).written);
  EXPECT_TRUE(ExtractionFailed);
  EXPECT_THROW(Extract(1), EConvertError);
  EXPECT_FALSE(fs.HasFile("C:\\Temp\\inf.txt"));
}

}  // namespace
