#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "archive/archive_writer.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "archive_test_support.h"
#include "host/convert.h"
#include "tests/support/fake_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kSetup[] = "C:\\prog\\setup.exe";

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearEntries(); }
  void TearDown() override { ClearEntries(); }

  bool Read(const ArchiveBytes& image, int32_t offset = kTestStubSize) {
    fs.AddFile(kSetup, image);
    ClearEntries();
    ui.messages.clear();
    const bool ok = ReadArchiveDirectoryAt(kSetup, offset);
    EXPECT_EQ(fs.OpenHandleCount(), 0);
    if (!ok) {
      EXPECT_EQ(ui.messages.size(), 1u);
      if (!ui.messages.empty()) {
        EXPECT_EQ(ui.messages[0].text, "This is not a valid archive");
        EXPECT_EQ(ui.messages[0].caption, "Archive read error");
        EXPECT_EQ(ui.messages[0].style, 0x30u);
      }
    }
    return ok;
  }
  bool ReadEntries(const std::vector<TMemberEntry>& entries, size_t dataBytes = 100000) {
    ArchiveBytes archive = WriteArchiveDirectory(entries);
    archive.resize(archive.size() + dataBytes, 0x55);
    return Read(WithStub(archive));
  }

  MemoryFileSystem fs;
  ScopedFileSystem scopedFs{fs};
  FakeUserInterface ui;
  ScopedUserInterface scopedUi{ui};
};

TMemberEntry Entry(const std::string& name, int32_t unpacked, int32_t stored, int32_t offset,
                   int32_t attributes, long double date) {
  TMemberEntry e;
  e.name = name;
  e.unpackedSize = unpacked;
  e.storedSize = stored;
  e.offset = offset;
  e.attributes = attributes;
  e.dateTime = date;
  return e;
}

TEST(EntryFieldTest, SplitsAtEverySeparator) {
  const std::string line = "a\tb\t";
  EXPECT_EQ(EntryField(line, "\t", 1), "a");
  EXPECT_EQ(EntryField(line, "\t", 2), "b");
  EXPECT_EQ(EntryField(line, "\t", 3), "");
  EXPECT_EQ(EntryField(line, "\t", 4), "");
  EXPECT_EQ(EntryField(line, "\t", 0), "");
  EXPECT_EQ(EntryField(line, "\t", -1), "");
  EXPECT_EQ(EntryField("\tx\t\ty", "\t", 1), "");
  EXPECT_EQ(EntryField("\tx\t\ty", "\t", 3), "");
  EXPECT_EQ(EntryField("\tx\t\ty", "\t", 4), "y");
  EXPECT_EQ(EntryField("one", "\t", 1), "one");
  EXPECT_EQ(EntryField("one", "\t", 2), "");
  EXPECT_EQ(EntryField("a<>b<>>c", "<>", 3), ">c");
}

TEST(EntryListTest, GrowsByEightAndKeepsOrder) {
  ClearEntries();
  for (int i = 0; i < 8; ++i) AddEntry("line " + std::to_string(i));
  EXPECT_EQ(EntryCapacity(), 8);
  AddEntry("line 8");
  EXPECT_EQ(EntryCapacity(), 16);
  EXPECT_EQ(EntryCount(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(GetEntry(i), "line " + std::to_string(i));
  ClearEntries();
  EXPECT_EQ(EntryCount(), 0);
  EXPECT_EQ(EntryCapacity(), 0);
  ResetEntries();
  AddEntry("again");
  EXPECT_EQ(GetEntry(0), "again");
  ClearEntries();
}

TEST(ExtendedTest, EncodesTheX87Layout) {
  uint8_t bytes[kExtendedSize];
  EncodeExtended(1.0L, bytes);
  const uint8_t one[] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(0, std::memcmp(bytes, one, sizeof one));
  EncodeExtended(-2.5L, bytes);  // 1.01b * 2^1
  const uint8_t minus[] = {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0};
  EXPECT_EQ(0, std::memcmp(bytes, minus, sizeof minus));
  EncodeExtended(std::numeric_limits<long double>::infinity(), bytes);
  const uint8_t inf[] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F};
  EXPECT_EQ(0, std::memcmp(bytes, inf, sizeof inf));
}

TEST(ExtendedTest, RoundTripsEveryClass) {
  const long double values[] = {0.0L, -0.0L, 1.0L, 45000.5L, 45000.0L + 1.0L / 86400000.0L,
                                -1e-300L, 1e4000L, std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::min(),
                                std::numeric_limits<long double>::denorm_min(),
                                std::numeric_limits<long double>::min() / 3,
                                -std::numeric_limits<long double>::infinity()};
  for (long double v : values) {
    uint8_t bytes[kExtendedSize];
    EncodeExtended(v, bytes);
    const long double back = DecodeExtended(bytes);
    EXPECT_EQ(back, v) << static_cast<double>(v);
    EXPECT_EQ(std::signbit(back), std::signbit(v));
  }
  uint8_t bytes[kExtendedSize];
  EncodeExtended(std::nanl(""), bytes);
  EXPECT_TRUE(std::isnan(DecodeExtended(bytes)));
}

TEST_F(DirectoryTest, EmptyDirectoryReadsWithDataStartBehindIt) {
  ASSERT_TRUE(Read(WithStub({kTagListStart, kTagListEnd})));
  EXPECT_EQ(EntryCount(), 0);
  EXPECT_EQ(DataStart, kTestStubSize + 2);
  EXPECT_EQ(ArchivePath, kSetup);
}

TEST_F(DirectoryTest, EntryLineHasTheFieldOrderOfTheList) {
  ASSERT_TRUE(ReadEntries({Entry("SETUP.EXE", 1255, 1303, 0, 32, 45000.5L)}));
  ASSERT_EQ(EntryCount(), 1);
  EXPECT_EQ(GetEntry(0), "SETUP.EXE\t1255\t1303\t32\t" + FloatText(45000.5L) + "\t0");
  EXPECT_EQ(DataStart, kTestStubSize + static_cast<int32_t>(WriteArchiveDirectory(
                                           {Entry("SETUP.EXE", 1255, 1303, 0, 32, 45000.5L)}).size()));
}

TEST_F(DirectoryTest, BuilderBytesMatchTheDocumentedExample) {
  const ArchiveBytes dir = WriteArchiveDirectory({Entry("ABCDEFGHIJKLM", 1255, 1303, 0, 32, 1.0L)});
  const ArchiveBytes head = {0x01, 0x06, 0x0D};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), dir.begin()));
  const ArchiveBytes values = {0x03, 0xE7, 0x04, 0x03, 0x17, 0x05, 0x02, 0x00, 0x02, 0x20, 0x05};
  EXPECT_TRUE(std::equal(values.begin(), values.end(), dir.begin() + 16));
  EXPECT_EQ(dir.size(), 16 + values.size() + 10 + 1);
  EXPECT_EQ(dir.back(), 0x00);
}

TEST_F(DirectoryTest, EveryIntegerWidthGivesTheSameLine) {
  std::string expected;
  for (uint8_t tag : {uint8_t{0}, kTagInt8, kTagInt16, kTagInt32}) {
    TMemberEntry e = Entry("a.txt", 100, 20, 3, -1, 45000.25L);
    e.integerTag = tag;
    ASSERT_TRUE(ReadEntries({e})) << int(tag);
    if (expected.empty()) expected = GetEntry(0);
    EXPECT_EQ(GetEntry(0), expected) << int(tag);
  }
  EXPECT_EQ(EntryField(expected, "\t", kFieldAttributes), "-1");
  for (int32_t v : {127, 128, -128, -129, 32767, 32768, -32768, -32769, INT32_MAX, INT32_MIN}) {
    ArchiveBytes out;
    WriteIntegerValue(out, v);
    const size_t expectedSize = v >= -128 && v <= 127 ? 2 : v >= -32768 && v <= 32767 ? 3 : 5;
    EXPECT_EQ(out.size(), expectedSize) << v;
    TMemberEntry e = Entry("x", 0, 0, 0, v, 1);
    ASSERT_TRUE(ReadEntries({e}));
    EXPECT_EQ(EntryField(GetEntry(0), "\t", kFieldAttributes), IntegerText(v));
  }
}

TEST_F(DirectoryTest, LongStringNamesAndWholeDayDates) {
  TMemberEntry a = Entry("sub\\long.txt", 1, 1, 0, 32, 45000.75L);
  a.longName = true;
  a.dateInWholeDays = true;
  TMemberEntry b = Entry(std::string(300, 'n'), 1, 1, 1, 32, 2.0L);  // past 255: tag 12
  TMemberEntry empty = Entry("", 0, 0, 0, 32, 3.0L);
  ASSERT_TRUE(ReadEntries({a, b, empty}));
  EXPECT_EQ(EntryField(GetEntry(0), "\t", kFieldName), "sub\\long.txt");
  EXPECT_EQ(EntryField(GetEntry(0), "\t", kFieldDateTime), FloatText(45000.0L));
  EXPECT_EQ(EntryField(GetEntry(1), "\t", kFieldName), std::string(300, 'n'));
  EXPECT_EQ(EntryField(GetEntry(2), "\t", kFieldName), "");
}

TEST_F(DirectoryTest, NinthEntryGrowsTheList) {
  std::vector<TMemberEntry> entries;
  for (int i = 0; i < 9; ++i) entries.push_back(Entry("m" + std::to_string(i), 1, 1, i, 32, 1));
  ASSERT_TRUE(ReadEntries(entries));
  EXPECT_EQ(EntryCount(), 9);
  EXPECT_EQ(EntryCapacity(), 16);
  EXPECT_EQ(EntryField(GetEntry(8), "\t", kFieldName), "m8");
}

// Each value's tag replaced by one its position does not accept.
TEST_F(DirectoryTest, WrongTagInEveryPositionIsRejected) {
  const ArchiveBytes good = WriteArchiveDirectory({Entry("ab", 300, 4, 0, 32, 1.5L)});
  // Positions of the tags: list start, name, four integers, date, list end.
  const std::vector<std::pair<size_t, std::vector<uint8_t>>> cases = {
      {0, {0, 2, 6}},                     // list start
      {1, {2, 3, 4, 5, 1, 7}},            // name: integers, float, others (0 ends the list)
      {5, {5, 6, 12, 1}},                 // unpacked size (tag 3)
      {8, {5, 6, 0}},                     // stored size (tag 2)
      {10, {5, 6}},                       // offset
      {12, {5, 12}},                      // attributes
      {14, {6, 12, 0, 1, 7}},             // date
      {good.size() - 1, {1, 2, 6}},       // list end
  };
  ASSERT_TRUE(ReadEntries({Entry("ab", 300, 4, 0, 32, 1.5L)}));
  for (const auto& c : cases) {
    for (uint8_t wrong : c.second) {
      ArchiveBytes bad = good;
      bad[c.first] = wrong;
      bad.resize(bad.size() + 64, 0);
      EXPECT_FALSE(Read(WithStub(bad))) << "position " << c.first << " tag " << int(wrong);
    }
  }
}

TEST_F(DirectoryTest, TruncationAtEveryByteFails) {
  const std::vector<uint8_t> data = Bytes("0123456789");
  std::vector<TMemberEntry> entries = {Entry("a", 5, 5, 0, 32, 45000.5L), Entry("$k$v$t$r.cnf", 5, 5, 5, 32, 2)};
  ArchiveBytes archive = WriteArchiveDirectory(entries);
  archive.insert(archive.end(), data.begin(), data.end());
  const ArchiveBytes image = WithStub(archive);
  ASSERT_TRUE(Read(image));
  EXPECT_EQ(EntryCount(), 2);
  for (size_t size = 0; size < image.size(); ++size) {
    const ArchiveBytes cut(image.begin(), image.begin() + size);
    EXPECT_FALSE(Read(cut)) << size;
  }
}

TEST_F(DirectoryTest, DataRangesMustLieInsideTheFile) {
  const auto read = [&](int32_t stored, int32_t offset, int32_t unpacked, size_t dataBytes) {
    return ReadEntries({Entry("a", unpacked, stored, offset, 32, 1)}, dataBytes);
  };
  EXPECT_TRUE(read(10, 0, 5, 10));
  EXPECT_TRUE(read(4, 6, 5, 10));
  EXPECT_TRUE(read(0, 10, 0, 10));
  EXPECT_FALSE(read(11, 0, 5, 10));
  EXPECT_FALSE(read(5, 6, 5, 10));
  EXPECT_FALSE(read(0, 11, 0, 10));
  EXPECT_FALSE(read(INT32_MAX, INT32_MAX, 5, 10));
  EXPECT_FALSE(read(-1, 0, 5, 10));
  EXPECT_FALSE(read(5, -1, 5, 10));
  EXPECT_FALSE(read(5, 0, -1, 10));
}

TEST(MemberNameTest, NamesThatLeaveTheTargetAreUnsafe) {
  for (const char* name : {"..\\x", "a\\..\\..\\x", "\\..\\x", "..", "a\\..", "\\\\server\\share\\x",
                           "\\\\x", "C:\\x", "c:x", "a:b", "x.txt:stream", "a\tb", "a\x01" "b",
                           "a\x1f", "../x", "a/../../x", "/etc/passwd", "\\/x", "...\\x", ".. \\x",
                           "a\\. .\\x"})
    EXPECT_FALSE(IsSafeMemberName(name)) << name;
  for (const char* name : {"", "a.txt", "\\sub\\a.txt", "sub\\deeper\\a.txt", "..a", "a..", "a..b",
                           ".x", "a\\.\\b", "$k$v$t$r.cnf", "\xE4\xF6\xFC.txt", "sub\\"})
    EXPECT_TRUE(IsSafeMemberName(name)) << name;
}

// Windows opens these as devices, so a member's bytes would go to a port or the console.
TEST(MemberNameTest, DeviceNamesAreUnsafeInEveryComponent) {
  for (const char* name : {"con", "CON", "nul.txt", "Nul.TXT.bak", "aux", "prn.log", "COM1", "com9.dat",
                           "lpt1.log", "LPT5", "conin$", "CONOUT$.x", "com\xB9", "LPT\xB2.txt", "con .txt",
                           "nul...", "aux ", "prn. .log", "sub\\con", "\\aux\\x.txt", "a\\b\\lpt3.c",
                           "nul\\readme.txt", "a/com2"})
    EXPECT_FALSE(IsSafeMemberName(name)) << name;
  for (const char* name : {"console.txt", "connect", "null", "auxiliary.dat", "com10", "lpt0", "com", "com1x",
                           "xnul", " con", "sub\\prn1\\x", "con_\\a", "my.con", "a.nul"})
    EXPECT_TRUE(IsSafeMemberName(name)) << name;
}

TEST_F(DirectoryTest, HostileNamesAreRejectedBeforeAnythingIsUsed) {
  for (const char* name : {"..\\evil.exe", "\\\\evil", "C:\\Windows\\evil.dll", "a\tb", "sub\\COM1.txt",
                           "nul"}) {
    EXPECT_FALSE(ReadEntries({Entry("ok.txt", 1, 1, 0, 32, 1), Entry(name, 1, 1, 1, 32, 1)})) << name;
    EXPECT_EQ(EntryCount(), 1) << "entries before the failure stay";
  }
}

TEST_F(DirectoryTest, UnreadableFilesAndOffsetsFail) {
  ClearEntries();
  EXPECT_FALSE(ReadArchiveDirectoryAt("C:\\missing.exe", 0));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "This is not a valid archive");
  const ArchiveBytes image = WithStub({kTagListStart, kTagListEnd});
  EXPECT_FALSE(Read(image, static_cast<int32_t>(image.size())));
  EXPECT_FALSE(Read(image, -1));
  EXPECT_FALSE(Read(image, 0));  // the stub's bytes are no directory
  EXPECT_TRUE(Read(image, kTestStubSize));
}

TEST_F(DirectoryTest, ShortReadIsAFormatError) {
  FaultyFileSystem faulty(fs);
  ScopedFileSystem scoped(faulty);
  fs.AddFile(kSetup, WithStub({kTagListStart, kTagListEnd}));
  faulty.FailAt(FsCall::Read, 2, kErrorAccessDenied);
  EXPECT_FALSE(ReadArchiveDirectoryAt(kSetup, kTestStubSize));
  EXPECT_EQ(fs.OpenHandleCount(), 0);
}

TEST_F(DirectoryTest, HugeStringLengthFailsWithoutTakingMemory) {
  ArchiveBytes archive = {kTagListStart, kTagLongString, 0xFF, 0xFF, 0xFF, 0x7F, 'a'};
  EXPECT_FALSE(Read(WithStub(archive)));
  archive = {kTagListStart, kTagString, 200, 'a', 'b'};
  EXPECT_FALSE(Read(WithStub(archive)));
}

TEST_F(DirectoryTest, FloatAndIntegerReadersAtTheValueLevel) {
  ArchiveBytes bytes = {kTagInt8, 0xFF, kTagInt16, 0x00, 0x80, kTagInt32, 0xFE, 0xFF, 0xFF, 0xFF,
                        kTagInt16, 0x10, 0x00, kTagListEnd, kTagListStart};
  WriteFloatValue(bytes, 45000.5L);
  fs.AddFile("C:\\values.bin", bytes);
  const FileHandle f = OpenExistingFile("C:\\values.bin", kModeReadShared);
  EXPECT_EQ(ReadIntegerValue(f), -1);
  EXPECT_EQ(ReadIntegerValue(f), -32768);
  EXPECT_EQ(ReadIntegerValue(f), -2);
  EXPECT_EQ(ReadFloatValue(f), 16.0L);  // an integer where a float may stand
  EXPECT_TRUE(AtListEnd(f));
  EXPECT_TRUE(AtListEnd(f)) << "the position stays";
  ExpectTag(f, kTagListEnd);
  EXPECT_FALSE(AtListEnd(f));
  EXPECT_THROW(ExpectTag(f, kTagListEnd), EArchiveFormat);
  EXPECT_EQ(ReadFloatValue(f), 45000.5L);
  EXPECT_THROW(AtListEnd(f), EArchiveFormat) << "end of file";
  CloseFileHandle(f);
}

TEST_F(DirectoryTest, DatesThatCannotTravelAsTextAreRejected) {
  // An unnormal (exponent set, integer bit clear) is refused like the FPU refuses it.
  ArchiveBytes archive = WriteArchiveDirectory({Entry("a", 0, 0, 0, 32, 1.0L)});
  ArchiveBytes unnormal = archive;
  unnormal[archive.size() - 4] = 0x00;  // significand's top byte
  EXPECT_FALSE(Read(WithStub(unnormal)));
  EXPECT_FALSE(ReadEntries({Entry("a", 0, 0, 0, 32, 1e400L)})) << "beyond double";
  ASSERT_TRUE(ReadEntries({Entry("a", 0, 0, 0, 32, std::numeric_limits<long double>::infinity())}));
  EXPECT_EQ(EntryField(GetEntry(0), "\t", kFieldDateTime), "INF");
}

}  // namespace
