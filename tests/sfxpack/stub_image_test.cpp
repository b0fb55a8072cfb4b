// Finding and rewriting the offset digits: PE string resources and the native block, on
// made-up images, hostile and truncated ones, and the real stubs when they are built.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/stub_image.h"

namespace {

bool Find(const Bytes& image, TOffsetDigits& found) {
  std::string reason;
  return FindOffsetDigits(image.data(), image.size(), found, reason);
}

TEST(StubImage, PeStringResourceFoundAndRewritten) {
  Bytes image = MakePeStub("000047616");
  TOffsetDigits found;
  ASSERT_TRUE(Find(image, found));
  EXPECT_EQ(found.carrier, OffsetCarrier::PeStringResource);
  EXPECT_EQ(found.value, 47616u);
  EXPECT_EQ(found.position, kPeDigitsPosition);
  ASSERT_TRUE(WriteOffsetDigits(image, found, 1234));
  ASSERT_TRUE(Find(image, found));
  EXPECT_EQ(found.value, 1234u);
  EXPECT_EQ(image[kPeDigitsPosition + 2 * 8], '4');
  EXPECT_EQ(image[kPeDigitsPosition + 2 * 8 + 1], 0);
  EXPECT_FALSE(WriteOffsetDigits(image, found, 1000000000));  // ten digits do not fit

  EXPECT_FALSE(Find(MakePeStub("00004761x"), found));
  EXPECT_FALSE(Find(MakePeStub(""), found));
  Bytes shortText = MakePeStub("512");  // fewer digits read, but no room to write nine
  ASSERT_TRUE(Find(shortText, found));
  EXPECT_EQ(found.value, 512u);
  EXPECT_FALSE(WriteOffsetDigits(shortText, found, 512));
}

TEST(StubImage, NativeBlockFirstValidMarkerCounts) {
  Bytes image = MakeNativeStub(3000);
  const std::string decoy = "SFX-ARCHIVE-OFFSET:12345678x";  // eight digits only
  std::memcpy(image.data() + 10, decoy.data(), decoy.size());
  const std::string later = "SFX-ARCHIVE-OFFSET:000000001";
  std::memcpy(image.data() + 2500, later.data(), later.size());
  TOffsetDigits found;
  ASSERT_TRUE(Find(image, found));
  EXPECT_EQ(found.carrier, OffsetCarrier::NativeBlock);
  EXPECT_EQ(found.value, 47616u);
  ASSERT_TRUE(WriteOffsetDigits(image, found, 3000));
  EXPECT_EQ(std::string(image.begin() + found.position, image.begin() + found.position + 9), "000003000");

  std::string reason;
  EXPECT_FALSE(FindOffsetDigits(image.data(), 40, found, reason));
  EXPECT_FALSE(reason.empty());
  const Bytes tail(image.end() - 5, image.end());
  EXPECT_FALSE(FindOffsetDigits(tail.data(), tail.size(), found, reason));
}

// Every prefix of an image: the digits are found exactly when all they depend on is there.
TEST(StubImage, TruncatedImagesNeverReadPastTheirEnd) {
  const Bytes image = MakePeStub();
  const size_t needed = kPeDigitsPosition + 2 * 9 + 2 * 14;  // the rest of the block
  for (size_t size = 0; size <= image.size(); ++size) {
    TOffsetDigits found;
    EXPECT_EQ(Find(Bytes(image.begin(), image.begin() + size), found), size >= needed) << size;
  }
}

TEST(StubImage, HostileHeadersAndResourceTrees) {
  const struct { const char* what; size_t at; uint32_t value; int width; } rows[] = {
      {"e_lfanew far outside", 0x3C, 0xFFFFFFF0, 4},
      {"section count 0xFFFF", 0x46, 0xFFFF, 2},
      {"optional header size runs off the end", 0x44 + 16, 0xFFFF, 2},
      {"PE32+ magic with a PE32 layout", 0x58, 0x20B, 2},
      {"65535 named and numbered entries", kPeResourceStart + 12, 0xFFFFFFFF, 4},
      {"type entry points back at the root", kPeResourceStart + 20, 0x80000000u, 4},
      {"data entry far outside", kPeResourceStart + 0x30 + 20, 0x7FFFFFF0, 4},
      {"string block RVA in no section", kPeResourceStart + 0x48, 0xFFFFFFF0, 4},
      {"block larger than the section", kPeResourceStart + 0x48 + 4, 0xFFFFFFFF, 4},
      {"string length past the block", kPeDigitsPosition - 2, 0xFF, 1},
      {"UTF-16 character that is no ASCII digit", kPeDigitsPosition + 1, 0x06, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes b = MakePeStub();
    PutLE(b, row.at, row.value, row.width);
    TOffsetDigits found;
    EXPECT_FALSE(Find(b, found));
  }
}

// Random damage anywhere in the headers and the tree: the parser answers, never crashes, and
// whatever it returns lies inside the image (the sanitizer build watches the reads).
TEST(StubImage, RandomDamageIsHarmless) {
  const Bytes good = MakePeStub();
  std::mt19937 random(2024);
  for (int round = 0; round < 20000; ++round) {
    Bytes b = good;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      const size_t at = random() % 0x2A0;
      b[at] = random() % 3 == 0 ? static_cast<uint8_t>(random()) : b[at] ^ (1u << (random() % 8));
    }
    TOffsetDigits found;
    if (Find(b, found)) {
      const size_t width = found.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
      ASSERT_LE(found.position + width * found.digitCount, b.size());
    }
  }
}

void ExpectStubCarriesItsSize(const std::string& path, OffsetCarrier carrier) {
  const Bytes image = ReadBytes(path);
  TOffsetDigits found;
  std::string reason;
  ASSERT_TRUE(FindOffsetDigits(image.data(), image.size(), found, reason)) << reason;
  EXPECT_EQ(found.carrier, carrier);
  EXPECT_EQ(found.digitCount, 9);
  EXPECT_EQ(found.value, image.size()) << path;  // the build patched in its own size
}

TEST(StubImage, RealStubs) {
  ExpectStubCarriesItsSize(SFXPACK_TEST_NATIVE_STUB, OffsetCarrier::NativeBlock);
  const std::string path = SFXPACK_TEST_WIN32_STUB;
  if (path.empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "no Win32 stub built at " << path;
  ExpectStubCarriesItsSize(path, OffsetCarrier::PeStringResource);
}

}  // namespace
