#include <gtest/gtest.h>

#include <limits>

#include "archive/crc32.h"
#include "archive/directory.h"
#include "archive/format.h"
#include "archive_test_support.h"
#include "host/convert.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/hostile_names.h"

namespace {

using Entry = TMemberEntry;  // name, unpacked and stored size, offset, attributes, date

class DirectoryTest : public ::testing::Test {
 protected:
  // True when the image reads; what was read stays in `dir`. No handle is left open either way.
  bool Read(const ArchiveBytes& image, int32_t offset = kTestStubSize) {
    WriteDiskFile(path, image);
    dir = TArchiveDirectory();
    bool ok = true;
    try {
      LoadArchiveDirectory(path, offset, dir);
    } catch (const EArchiveFormat&) {
      ok = false;
    }
    EXPECT_EQ(disk.OpenHandleCount(), 0);
    return ok;
  }
  bool ReadEntries(const std::vector<TMemberEntry>& entries, size_t dataBytes = 100000) {
    ArchiveBytes archive = WriteArchiveDirectory(entries);
    archive.resize(archive.size() + dataBytes, 0x55);
    return Read(WithStub(archive));
  }
  std::string Field(int index, int field) const { return EntryField(dir.entries.GetEntry(index), "\t", field); }

  ScratchFolder folder;
  std::string path = folder.Internal("setup.exe");
  TArchiveDirectory dir;
  FaultyFileSystem disk;
  ScopedFileSystem scoped{disk};
};

// The published check values, and every split continued with Crc32Update giving the CRC of the
// whole (the folding, the sixteen-byte steps and the byte-wise tail agree).
TEST(Crc32Test, KnownValuesAndContinuation) {
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
  std::vector<uint8_t> pattern(100003);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  EXPECT_EQ(Crc32(pattern.data(), pattern.size()), 0x0B697026u);
  const std::vector<uint8_t> data = RandomBytes(300, 5);
  for (size_t split = 0; split <= data.size(); ++split)
    EXPECT_EQ(Crc32Update(Crc32(data.data(), split), data.data() + split, data.size() - split),
              Crc32(data.data(), data.size())) << split;
}

// The documented example, written and read back; an empty directory.
TEST_F(DirectoryTest, TheDocumentedExampleAndAnEmptyDirectory) {
  ArchiveBytes example = {0x01, 0x06, 0x02, 'A', 'B', 0x03, 0xE7, 0x04, 0x03, 0x17, 0x05, 0x02, 0x00, 0x02, 0x20,
                          0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F, 0x00};  // 1255, 1303, 0, 32, 1.0
  const int32_t directorySize = static_cast<int32_t>(example.size());
  EXPECT_EQ(WriteArchiveDirectory({Entry{"AB", 1255, 1303, 0, 32, 1.0L}}), example);
  example.resize(example.size() + 1303, 0x55);
  ASSERT_TRUE(Read(WithStub(example)));
  EXPECT_EQ(dir.entries.GetEntry(0), "AB\t1255\t1303\t32\t" + FloatText(1.0L) + "\t0");
  EXPECT_EQ(dir.dataStart, kTestStubSize + directorySize);
  ASSERT_TRUE(Read(WithStub({kTagListStart, kTagListEnd})));
  EXPECT_EQ(dir.entries.EntryCount(), 0);
  EXPECT_EQ(dir.dataStart, kTestStubSize + 2);
}

// Every width of integer, long-string names, whole-day dates and empty names read alike; the
// ninth entry grows the list by eight.
TEST_F(DirectoryTest, EveryEncodingOfAValueGivesTheSameLine) {
  for (int32_t v : {-1, 127, 128, -129, 32768, -32769, INT32_MAX, INT32_MIN}) {
    for (uint8_t tag : {uint8_t{0}, kTagInt32}) {
      Entry e{"a.txt", 100, 20, 3, v, 45000.25L};
      e.integerTag = tag;
      ASSERT_TRUE(ReadEntries({e})) << v;
      EXPECT_EQ(Field(0, kFieldAttributes), IntegerText(v));
    }
  }
  std::vector<TMemberEntry> entries = {Entry{"sub\\long.txt", 1, 1, 0, 32, 45000.75L},
                                       Entry{std::string(300, 'n'), 1, 1, 1, 32, 2.0L}, Entry{"", 0, 0, 0, 32, 3.0L}};
  entries[0].longName = true;
  entries[0].dateInWholeDays = true;
  for (int i = 3; i < 9; ++i) entries.push_back(Entry{"m" + std::to_string(i), 1, 1, i, 32, 1});
  ASSERT_TRUE(ReadEntries(entries));
  EXPECT_EQ(dir.entries.EntryCapacity(), 16);
  EXPECT_EQ(Field(0, kFieldDateTime), FloatText(45000.0L));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Field(i, kFieldName), entries[i].name);
}

TEST_F(DirectoryTest, WrongTagInEveryPositionIsRejected) {
  const ArchiveBytes good = WriteArchiveDirectory({Entry{"ab", 300, 4, 0, 32, 1.5L}});
  // Positions of the tags: list start, name, four integers, date, list end.
  const std::vector<std::pair<size_t, std::vector<uint8_t>>> cases = {
      {0, {0, 2, 6}}, {1, {2, 3, 4, 5, 1, 7}}, {5, {5, 6, 12, 1}}, {8, {5, 6, 0}}, {10, {5, 6}}, {12, {5, 12}},
      {14, {6, 12, 0, 1, 7}}, {good.size() - 1, {1, 2, 6}}};
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
  ArchiveBytes archive = WriteArchiveDirectory({Entry{"a", 5, 5, 0, 32, 45000.5L}, Entry{"$k$v$t$r.cnf", 5, 5, 5, 32, 2}});
  archive.resize(archive.size() + 10, 'd');
  const ArchiveBytes image = WithStub(archive);
  ASSERT_TRUE(Read(image));
  for (size_t size = 0; size < image.size(); ++size) EXPECT_FALSE(Read(ArchiveBytes(image.begin(), image.begin() + size))) << size;
}

TEST_F(DirectoryTest, DataRangesMustLieInsideTheFile) {
  const struct { int32_t stored, offset, unpacked; bool ok; } rows[] = {  // 10 data bytes
      {10, 0, 5, true}, {4, 6, 5, true}, {0, 10, 0, true}, {11, 0, 5, false}, {5, 6, 5, false},
      {0, 11, 0, false}, {INT32_MAX, INT32_MAX, 5, false}, {-1, 0, 5, false}, {5, -1, 5, false}, {5, 0, -1, false}};
  for (const auto& r : rows)
    EXPECT_EQ(ReadEntries({Entry{"a", r.unpacked, r.stored, r.offset, 32, 1}}, 10), r.ok) << r.stored << " at " << r.offset;
}

// Traversal, drives, streams and devices: the check, and a directory that holds such a name.
TEST_F(DirectoryTest, HostileNamesAreRejectedBeforeAnythingIsUsed) {
  EXPECT_TRUE(IsSafeMemberName(""));
  for (const THostileName& row : HostileNames()) {
    EXPECT_EQ(IsSafeMemberName(row.name), row.stub == '+') << row.name;
    if (row.stub == '+') continue;
    EXPECT_FALSE(ReadEntries({Entry{"ok.txt", 1, 1, 0, 32, 1}, Entry{row.name, 1, 1, 1, 32, 1}})) << row.name;
    EXPECT_EQ(dir.entries.EntryCount(), 1) << "entries before the failure stay";
  }
}

TEST_F(DirectoryTest, UnreadableFilesOffsetsLengthsAndDatesFail) {
  const ArchiveBytes image = WithStub({kTagListStart, kTagListEnd});
  EXPECT_FALSE(Read(image, static_cast<int32_t>(image.size())));
  EXPECT_FALSE(Read(image, -1));
  EXPECT_FALSE(Read(image, 0));  // the stub's bytes are no directory
  EXPECT_FALSE(Read(WithStub({kTagListStart, kTagLongString, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}))) << "no memory taken";
  EXPECT_THROW(LoadArchiveDirectory(folder.Internal("missing.exe"), 0, dir), EArchiveFormat);
  // An unnormal (exponent set, integer bit clear) is refused as the FPU refuses it; a date
  // beyond double cannot travel as text.
  ArchiveBytes unnormal = WriteArchiveDirectory({Entry{"a", 0, 0, 0, 32, 1.0L}});
  unnormal[unnormal.size() - 4] = 0x00;
  EXPECT_FALSE(Read(WithStub(unnormal)));
  EXPECT_FALSE(ReadEntries({Entry{"a", 0, 0, 0, 32, 1e400L}}));
  ASSERT_TRUE(ReadEntries({Entry{"a", 0, 0, 0, 32, std::numeric_limits<long double>::infinity()}}));
  EXPECT_EQ(Field(0, kFieldDateTime), "INF");
}

}  // namespace
