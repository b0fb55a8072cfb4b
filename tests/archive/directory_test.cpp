#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "archive/archive_writer.h"
#include "archive/crc32.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "archive_test_support.h"
#include "host/convert.h"
#include "tests/support/fake_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/hostile_names.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kSetup[] = "C:\\prog\\setup.exe";

class DirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearEntries(); }

  bool Read(const ArchiveBytes& image, int32_t offset = kTestStubSize) {
    fs.AddFile(kSetup, image);
    ClearEntries();
    ui.messages.clear();
    const bool ok = ReadArchiveDirectoryAt(kSetup, offset);
    EXPECT_EQ(fs.OpenHandleCount(), 0);
    if (!ok) ExpectFormatMessage();
    return ok;
  }
  void ExpectFormatMessage() {
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "This is not a valid archive");
    EXPECT_EQ(ui.messages[0].caption, "Archive read error");
    EXPECT_EQ(ui.messages[0].style, 0x30u);
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
  return {name, unpacked, stored, offset, attributes, date};
}

TEST(EntryFieldTest, SplitsAtEverySeparator) {
  const struct { const char* line; const char* separator; int index; const char* field; } rows[] = {
      {"a\tb\t", "\t", 1, "a"}, {"a\tb\t", "\t", 2, "b"}, {"a\tb\t", "\t", 3, ""}, {"a\tb\t", "\t", 4, ""},
      {"a\tb\t", "\t", 0, ""}, {"a\tb\t", "\t", -1, ""}, {"\tx\t\ty", "\t", 1, ""}, {"\tx\t\ty", "\t", 3, ""},
      {"\tx\t\ty", "\t", 4, "y"}, {"one", "\t", 1, "one"}, {"one", "\t", 2, ""}, {"a<>b<>>c", "<>", 3, ">c"}};
  for (const auto& row : rows) EXPECT_EQ(EntryField(row.line, row.separator, row.index), row.field) << row.index;
}

// The published check values, and every split of a buffer continued with Crc32Update giving
// the CRC of the whole (the folding, the sixteen-byte steps and the byte-wise tail agree).
TEST(Crc32Test, KnownValuesAndContinuation) {
  const struct { const char* text; uint32_t crc; } rows[] = {
      {"", 0}, {"a", 0xE8B7BE43u}, {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
  for (const auto& row : rows)
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(row.text), std::strlen(row.text)), row.crc) << row.text;
  std::vector<uint8_t> pattern(100003);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  EXPECT_EQ(Crc32(pattern.data(), pattern.size()), 0x0B697026u);  // long enough for the folding path
  const std::vector<uint8_t> data = RandomBytes(300, 5);
  const uint32_t whole = Crc32(data.data(), data.size());
  for (size_t split = 0; split <= data.size(); ++split)
    EXPECT_EQ(Crc32Update(Crc32(data.data(), split), data.data() + split, data.size() - split), whole) << split;
}

TEST(ExtendedTest, EncodesTheX87Layout) {
  const struct { long double value; std::vector<uint8_t> bytes; } rows[] = {
      {1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {-2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},  // 1.01b * 2^1
      {std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}}};
  for (const auto& row : rows) {
    std::vector<uint8_t> bytes(kExtendedSize);
    EncodeExtended(row.value, bytes.data());
    EXPECT_EQ(bytes, row.bytes) << static_cast<double>(row.value);
  }
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

TEST_F(DirectoryTest, EmptyDirectoryAndEntryLineFieldOrder) {
  ASSERT_TRUE(Read(WithStub({kTagListStart, kTagListEnd})));
  EXPECT_EQ(EntryCount(), 0);
  EXPECT_EQ(DataStart, kTestStubSize + 2);
  EXPECT_EQ(ArchivePath, kSetup);
  const TMemberEntry entry = Entry("SETUP.EXE", 1255, 1303, 0, 32, 45000.5L);
  ASSERT_TRUE(ReadEntries({entry}));
  ASSERT_EQ(EntryCount(), 1);
  EXPECT_EQ(GetEntry(0), "SETUP.EXE\t1255\t1303\t32\t" + FloatText(45000.5L) + "\t0");
  EXPECT_EQ(DataStart, kTestStubSize + static_cast<int32_t>(WriteArchiveDirectory({entry}).size()));
}

TEST(DirectoryWriterTest, BytesMatchTheDocumentedExample) {
  ArchiveBytes expected = {0x01, 0x06, 0x0D, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M',
                           0x03, 0xE7, 0x04, 0x03, 0x17, 0x05, 0x02, 0x00, 0x02, 0x20,  // 1255, 1303, 0, 32
                           0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F, 0x00};          // 1.0, list end
  EXPECT_EQ(WriteArchiveDirectory({Entry("ABCDEFGHIJKLM", 1255, 1303, 0, 32, 1.0L)}), expected);
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

// Long-string names (forced, and past 255 bytes), whole-day dates, an empty name; the ninth
// entry grows the list by eight.
TEST_F(DirectoryTest, LongNamesWholeDayDatesAndANinthEntry) {
  std::vector<TMemberEntry> entries = {Entry("sub\\long.txt", 1, 1, 0, 32, 45000.75L),
                                       Entry(std::string(300, 'n'), 1, 1, 1, 32, 2.0L), Entry("", 0, 0, 0, 32, 3.0L)};
  entries[0].longName = true;
  entries[0].dateInWholeDays = true;
  for (int i = 3; i < 9; ++i) entries.push_back(Entry("m" + std::to_string(i), 1, 1, i, 32, 1));
  ASSERT_TRUE(ReadEntries(entries));
  EXPECT_EQ(EntryCapacity(), 16);
  EXPECT_EQ(EntryField(GetEntry(0), "\t", kFieldDateTime), FloatText(45000.0L));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(EntryField(GetEntry(i), "\t", kFieldName), entries[i].name);
  ClearEntries();
  EXPECT_EQ(EntryCapacity(), 0);
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
  const struct { int32_t stored, offset, unpacked; bool ok; } rows[] = {  // 10 data bytes
      {10, 0, 5, true}, {4, 6, 5, true}, {0, 10, 0, true}, {11, 0, 5, false}, {5, 6, 5, false},
      {0, 11, 0, false}, {INT32_MAX, INT32_MAX, 5, false}, {-1, 0, 5, false}, {5, -1, 5, false}, {5, 0, -1, false}};
  for (const auto& r : rows)
    EXPECT_EQ(ReadEntries({Entry("a", r.unpacked, r.stored, r.offset, 32, 1)}, 10), r.ok)
        << r.stored << " at " << r.offset << ", unpacked " << r.unpacked;
}

// Windows opens device names as devices, so a member's bytes would go to a port or the console.
TEST(MemberNameTest, NamesThatLeaveTheTargetOrOpenDevicesAreUnsafe) {
  for (const THostileName& row : HostileNames()) EXPECT_EQ(IsSafeMemberName(row.name), row.stub == '+') << row.name;
  EXPECT_TRUE(IsSafeMemberName(""));
}

TEST_F(DirectoryTest, HostileNamesAreRejectedBeforeAnythingIsUsed) {
  for (const THostileName& row : HostileNames()) {
    if (row.stub == '+') continue;
    EXPECT_FALSE(ReadEntries({Entry("ok.txt", 1, 1, 0, 32, 1), Entry(row.name, 1, 1, 1, 32, 1)})) << row.name;
    EXPECT_EQ(EntryCount(), 1) << "entries before the failure stay";
  }
}

TEST_F(DirectoryTest, UnreadableFilesOffsetsAndHugeLengthsFail) {
  ClearEntries();
  EXPECT_FALSE(ReadArchiveDirectoryAt("C:\\missing.exe", 0));
  ExpectFormatMessage();
  const ArchiveBytes image = WithStub({kTagListStart, kTagListEnd});
  EXPECT_FALSE(Read(image, static_cast<int32_t>(image.size())));
  EXPECT_FALSE(Read(image, -1));
  EXPECT_FALSE(Read(image, 0));  // the stub's bytes are no directory
  EXPECT_TRUE(Read(image, kTestStubSize));
  // Lengths beyond the file fail without taking the memory.
  EXPECT_FALSE(Read(WithStub({kTagListStart, kTagLongString, 0xFF, 0xFF, 0xFF, 0x7F, 'a'})));
  EXPECT_FALSE(Read(WithStub({kTagListStart, kTagString, 200, 'a', 'b'})));
  fs.AddFile(kSetup, image);
  FaultyFileSystem faulty(fs);
  ScopedFileSystem scoped(faulty);
  faulty.FailAt(FsCall::Read, 2, kErrorAccessDenied);  // a short read is a format error
  EXPECT_FALSE(ReadArchiveDirectoryAt(kSetup, kTestStubSize));
  EXPECT_EQ(fs.OpenHandleCount(), 0);
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
