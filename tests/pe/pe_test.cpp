// The PE image reader and writer, the offset digits in PE32, PE32+ and native stubs, and the
// stub rewritten by `create --icon --version-info`.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/sfxpack/pe/pe_version.h"
#include "tools/sfxpack/stub/stub_branding.h"
#include "tools/sfxpack/stub/stub_image.h"

namespace {

constexpr size_t kPe = 0x40, kOpt = 0x58, kChecksum = kOpt + 64;

// The fields are little-endian, as are the machines the tests run on.
uint32_t Get32(const Bytes& b, size_t at) { uint32_t v; std::memcpy(&v, &b[at], 4); return v; }
void Set32(Bytes& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

struct TShape {
  bool wide = false;                   // PE32+
  uint32_t trailerFlags = 0x42000040;  // of the relocations behind the resources
  size_t Directory(int index) const { return kOpt + (wide ? 112 : 96) + 8 * index; }
  size_t Section(int index) const { return kOpt + (wide ? 240 : 224) + 40 * index; }
};

// .text at 0x400, .rsrc at 0x600 (address 0x2000), then relocations, with a checksum.
Bytes MakeImage(const ResourceTree& tree, const TShape& shape = {}) {
  const Bytes rsrc = SerialiseResources(tree, 0x2000);
  const uint32_t rsrcRaw = static_cast<uint32_t>((rsrc.size() + 0x1FF) & ~0x1FFu);
  const uint32_t relocVa = 0x2000 + ((static_cast<uint32_t>(rsrc.size()) + 0xFFF) & ~0xFFFu);
  Bytes image(0x400, 0);
  const std::pair<size_t, uint32_t> fields[] = {
      {0, 0x5A4D}, {0x3C, kPe}, {kPe, 0x4550}, {kPe + 6, 3}, {kPe + 20, shape.wide ? 240 : 224},
      {kOpt, shape.wide ? 0x20B : 0x10B}, {kOpt + 32, 0x1000}, {kOpt + 36, 0x200},
      {kOpt + 56, relocVa + 0x1000}, {kOpt + 60, 0x400}, {shape.Directory(0) - 4, 16},
      {shape.Directory(2), 0x2000}, {shape.Directory(2) + 4, static_cast<uint32_t>(rsrc.size())},
      {shape.Directory(5), relocVa}, {shape.Directory(5) + 4, 12}};
  for (const auto& [at, value] : fields) Set32(image, at, value);
  auto section = [&](int i, uint32_t va, uint32_t vsize, uint32_t rawSize, uint32_t flags) {
    const uint32_t values[] = {vsize, va, rawSize, static_cast<uint32_t>(image.size())};
    for (int k = 0; k < 4; ++k) Set32(image, shape.Section(i) + 8 + 4 * k, values[k]);
    Set32(image, shape.Section(i) + 36, flags);
  };
  section(0, 0x1000, 0x10, 0x200, 0x60000020);
  image.resize(0x600, 0xC3);
  section(1, 0x2000, static_cast<uint32_t>(rsrc.size()), rsrcRaw, 0x40000040);
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  image.resize(0x600 + rsrcRaw, 0);
  section(2, relocVa, 12, 0x200, shape.trailerFlags);
  const uint8_t block[12] = {0x00, 0x10, 0, 0, 0x0C, 0, 0, 0, 0x01, 0x30, 0x05, 0x30};
  image.insert(image.end(), block, block + 12);
  image.resize(image.size() + 0x200 - 12, 0);
  Set32(image, kChecksum, ImageChecksum(image, kChecksum));
  return image;
}

TResourceData& At(ResourceTree& tree, uint16_t type, const TResourceKey& name) {
  return tree[TResourceKey::Id(type)][name][TResourceKey::Id(0)];
}

// The stub's resources: the dialog, string 1 of block 1 holding `digits`, an icon group.
ResourceTree StubLikeTree(const std::u16string& digits = u"" SFX_OFFSET_PLACEHOLDER) {
  ResourceTree tree;
  At(tree, kResourceDialog, TResourceKey::Named(u"QZPROGRESSCLASS")).bytes = Bytes(180, 0x5A);
  Bytes& strings = At(tree, kResourceString, TResourceKey::Id(1)).bytes = {0, 0, uint8_t(digits.size()), 0};
  for (char16_t c : digits) strings.insert(strings.end(), {static_cast<uint8_t>(c), 0});
  strings.resize(strings.size() + 14 * 2, 0);  // strings 2 to 15, empty
  At(tree, kResourceIcon, TResourceKey::Id(1)).bytes = Bytes(40, 1);
  At(tree, kResourceGroupIcon, TResourceKey::Named(u"MAINICON")).bytes = {0, 0, 1, 0, 1, 0, 16, 16,
                                                                         0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 1, 0};
  return tree;
}

std::string VersionOf(const Bytes& image, const std::string& key) {
  ResourceTree tree = PeImage(image).Resources();
  return VersionString(At(tree, kResourceVersion, TResourceKey::Id(1)).bytes, key);
}

bool Find(const Bytes& image, TOffsetDigits& found) {
  std::string reason;
  return FindOffsetDigits(image.data(), image.size(), found, reason);
}

// In both image kinds: grown resources move what follows them, and the offset digits are
// found, rewritten and refused where there is no room.
TEST(PeImage, BothKinds) {
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    const TShape shape{wide};
    Bytes image = MakeImage(StubLikeTree(), shape);
    PeImage parsed(image);
    EXPECT_EQ(parsed.Build(), image) << "an unchanged tree gives the same bytes";
    At(parsed.Resources(), 10, TResourceKey::Id(7)).bytes = Bytes(0x1800, 0xAB);
    const Bytes grown = parsed.Build();
    EXPECT_TRUE(PeImage(grown).Resources() == parsed.Resources());
    const uint32_t rsrcSize = Get32(grown, shape.Section(1) + 8);
    const uint32_t relocVa = Get32(grown, shape.Section(2) + 12);
    EXPECT_EQ(Get32(grown, shape.Directory(2) + 4), rsrcSize);
    EXPECT_EQ(relocVa, 0x2000 + ((rsrcSize + 0xFFF) & ~0xFFFu));
    EXPECT_EQ(Get32(grown, shape.Directory(5)), relocVa);
    EXPECT_EQ(Get32(grown, 0x600 + Get32(grown, shape.Section(1) + 16) + 8), 0x30053001u)
        << "relocation block moved intact behind the resources";
    EXPECT_EQ(Get32(grown, kOpt + 56), relocVa + 0x1000);
    EXPECT_EQ(Get32(grown, kChecksum), ImageChecksum(grown, kChecksum));

    TOffsetDigits found;
    ASSERT_TRUE(Find(image, found));
    EXPECT_EQ(found.carrier, OffsetCarrier::PeStringResource);
    EXPECT_EQ(found.value, 47616u);
    ASSERT_TRUE(WriteOffsetDigits(image, found, 1234));
    EXPECT_TRUE(Find(image, found) && found.value == 1234);
    EXPECT_FALSE(WriteOffsetDigits(image, found, 1000000000)) << "ten digits do not fit";
    EXPECT_FALSE(Find(MakeImage(StubLikeTree(u"00004761x"), shape), found));
    Bytes shortText = MakeImage(StubLikeTree(u"512"), shape);
    ASSERT_TRUE(Find(shortText, found)) << "fewer digits are read";
    EXPECT_FALSE(WriteOffsetDigits(shortText, found, 512)) << "but there is no room for nine";
    Set32(image, 0x600 + 20, 0x80000000u);  // damaged: the root is its own subdirectory
    EXPECT_FALSE(Find(image, found));
  }
}

TEST(PeImage, RefusesWhatItCannotReadOrRewrite) {
  const Bytes good = MakeImage(StubLikeTree());
  const struct { const char* what; size_t at; uint32_t value; } rows[] = {
      {"e_lfanew far outside", 0x3C, 0xFFFFFFF0}, {"unknown optional header magic", kOpt, 0x30B},
      {"65535 sections", kPe + 6, 0xFFFF}, {"resources in no section", TShape{}.Directory(2), 0x7000},
      {"a directory that is its own subdirectory", 0x600 + 20, 0x80000000u}};
  for (const auto& row : rows) {
    Bytes bad = good;
    Set32(bad, row.at, row.value);
    EXPECT_THROW(PeImage{bad}, EBadImage) << row.what;
  }
  EXPECT_THROW(PeImage(Bytes(good.begin(), good.end() - 0x300)), EBadImage) << "cut short";
  Bytes signedImage = good;
  Set32(signedImage, TShape{}.Directory(4), 0x800);
  EXPECT_THROW(PeImage(signedImage).Build(), EBadImage) << "the signature would break";
  const Bytes writable = MakeImage(StubLikeTree(), {false, 0xC0000040});  // relocations that cannot move
  PeImage pinned(writable);
  At(pinned.Resources(), 10, TResourceKey::Id(7)).bytes = Bytes(0x2000, 1);
  EXPECT_THROW(pinned.Build(), EBadImage);
}

TEST(OffsetDigits, NativeBlockFirstValidMarkerCounts) {
  Bytes image(4000, 0x90);
  const std::string blocks = SFX_OFFSET_MARKER "12345678x " SFX_OFFSET_MARKER SFX_OFFSET_PLACEHOLDER
                             " " SFX_OFFSET_MARKER "000000001";
  std::memcpy(&image[10], blocks.data(), blocks.size());
  TOffsetDigits found;
  ASSERT_TRUE(Find(image, found));
  EXPECT_EQ(found.carrier, OffsetCarrier::NativeBlock);
  EXPECT_EQ(found.value, 47616u);
  ASSERT_TRUE(WriteOffsetDigits(image, found, 3000));
  EXPECT_EQ(std::string(&image[found.position], &image[found.position + 9]), "000003000");
  EXPECT_FALSE(Find(Bytes(image.begin(), image.begin() + 60), found)) << "cut inside the digits";
}

// Beyond ASCII, version strings travel as UTF-16 (a surrogate pair too). What Windows reads
// of the icon and version of a branded stub is the Wine test branded_installer_test.sh's.
TEST(StubBranding, VersionOwnSizeAndInstallerChecksum) {
  const TStubBranding branding{"", {{"ProductName", "Werkzeug \xC3\xA4\xF0\x9F\x99\x82"}, {"FileVersion", "2.5.0.17"}}};
  Bytes branded = BrandStub(MakeImage(StubLikeTree()), "stub.exe", branding, "out/dir/Setup.exe");
  TOffsetDigits found;
  ASSERT_TRUE(Find(branded, found));
  EXPECT_EQ(found.value, branded.size());
  EXPECT_EQ(VersionOf(branded, "OriginalFilename"), "Setup.exe");
  EXPECT_EQ(VersionOf(branded, "ProductName"), "Werkzeug \xC3\xA4\xF0\x9F\x99\x82");

  branded.push_back(0x5A);  // odd-sized: the archive's first byte pairs with the stub's last
  const Bytes archive = {1, 2, 3, 4, 5, 0xFF, 0xFE};
  StampInstallerChecksum(branded, archive);
  Bytes whole = branded;
  whole.insert(whole.end(), archive.begin(), archive.end());
  EXPECT_EQ(Get32(branded, kChecksum), ImageChecksum(whole, kChecksum));
}

}  // namespace
