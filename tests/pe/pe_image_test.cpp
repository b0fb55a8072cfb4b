// The PE image reader and writer: rebuilding with grown resources in both image kinds, the
// layout it refuses to change, icons and version strings, and damaged headers.
#include <gtest/gtest.h>

#include "tests/pe/pe_test_image.h"
#include "tools/sfxpack/pe_icons.h"
#include "tools/sfxpack/pe_version.h"

namespace {

Bytes& ExtraBlock(ResourceTree& tree) {
  return tree[TResourceKey::Id(10)][TResourceKey::Id(7)][TResourceKey::Id(0)].bytes;
}

TEST(PeImage, GrownResourcesMoveWhatFollowsThem) {
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    const TImageShape shape{wide};
    const Bytes image = MakeImage(StubLikeTree(), shape);
    PeImage parsed(image);
    EXPECT_TRUE(parsed.Resources() == StubLikeTree());
    EXPECT_EQ(parsed.Build(), image) << "an unchanged tree gives the same bytes";

    ExtraBlock(parsed.Resources()) = Bytes(0x1800, 0xAB);
    const Bytes grown = parsed.Build();
    EXPECT_TRUE(PeImage(grown).Resources() == parsed.Resources());
    const uint32_t rsrcSize = Get32(grown, shape.Section(1) + 8);
    EXPECT_EQ(Get32(grown, shape.Directory(2) + 4), rsrcSize);
    const uint32_t relocVa = Get32(grown, shape.Section(2) + 12);
    const uint32_t relocRaw = Get32(grown, shape.Section(2) + 20);
    EXPECT_EQ(relocVa, 0x2000 + ((rsrcSize + 0xFFF) & ~0xFFFu));
    EXPECT_EQ(Get32(grown, shape.Directory(5)), relocVa);
    EXPECT_EQ(relocRaw, 0x600 + Get32(grown, shape.Section(1) + 16));
    EXPECT_EQ(Get32(grown, relocRaw + 8), 0x30053001u) << "relocation block moved intact";
    EXPECT_EQ(Get32(grown, kOpt + 56), relocVa + 0x1000);
    EXPECT_EQ(Get32(grown, kChecksum), ImageChecksum(grown, kChecksum));
  }
}

TEST(PeImage, LayoutItCannotChangeIsRefused) {
  // A writable section behind the resources cannot move: growth fails, shrinking fits.
  ResourceTree big = StubLikeTree();
  ExtraBlock(big) = Bytes(0x900, 1);
  const Bytes pinned = MakeImage(big, {false, kWritableData});
  PeImage fixed(pinned);
  ExtraBlock(fixed.Resources()) = Bytes(0x2000, 1);
  EXPECT_THROW(fixed.Build(), EBadImage);
  fixed.Resources().erase(TResourceKey::Id(10));
  const Bytes shrunk = fixed.Build();
  EXPECT_TRUE(PeImage(shrunk).Resources() == StubLikeTree());
  EXPECT_EQ(Get32(shrunk, TImageShape{}.Section(2) + 12), Get32(pinned, TImageShape{}.Section(2) + 12));

  Bytes signedImage = MakeImage(StubLikeTree());
  Set32(signedImage, TImageShape{}.Directory(4), 0x800);
  EXPECT_THROW(PeImage(signedImage).Build(), EBadImage) << "the signature would break";
}

TEST(PeImage, DamagedHeadersAreRefused) {
  const Bytes good = MakeImage(StubLikeTree());
  const struct { const char* what; size_t at; uint32_t value; } rows[] = {
      {"e_lfanew far outside", 0x3C, 0xFFFFFFF0},
      {"no PE signature", kPe, 0x4558},
      {"unknown optional header magic", kOpt, 0x30B},
      {"65535 sections", kPe + 6, 0xFFFF},
      {"resources outside every section", TImageShape{}.Directory(2), 0x7000},
      {"a directory that is its own subdirectory", 0x600 + 20, 0x80000000u},
      {"65535 named and numbered entries", 0x600 + 12, 0xFFFFFFFF}};
  for (const auto& row : rows) {
    Bytes bad = good;
    Set32(bad, row.at, row.value);
    EXPECT_THROW(PeImage{bad}, EBadImage) << row.what;
  }
  EXPECT_THROW(PeImage(Bytes(good.begin(), good.end() - 0x300)), EBadImage) << "cut short";
}

TEST(PeImage, IconGroupReplaced) {
  ResourceTree tree = StubLikeTree();
  tree[TResourceKey::Id(kResourceIcon)][TResourceKey::Id(9)][TResourceKey::Id(0)].bytes = {9};
  SetIconGroup(tree, MakeIco({100, 300, 5}));
  const Bytes& group = tree.at(TResourceKey::Id(kResourceGroupIcon))
                           .at(TResourceKey::Named(u"MAINICON")).at(TResourceKey::Id(0)).bytes;
  ASSERT_EQ(group.size(), 6u + 3 * 14);
  const auto& icons = tree.at(TResourceKey::Id(kResourceIcon));
  EXPECT_EQ(icons.size(), 4u) << "three new images and the unrelated icon 9";
  for (int i = 0; i < 3; ++i) {
    const size_t entry = 6 + i * 14;
    const uint16_t id = static_cast<uint16_t>(group[entry + 12] | group[entry + 13] << 8);
    const Bytes& image = icons.at(TResourceKey::Id(id)).at(TResourceKey::Id(0)).bytes;
    EXPECT_EQ(image.size(), Get32(group, entry + 8));
    EXPECT_EQ(image[0], 0x10 + i);
  }

  const ResourceTree before = tree;
  Bytes beyond = MakeIco({100});
  Set32(beyond, 6 + 8, 1000);
  Bytes cursor = MakeIco({10});
  cursor[2] = 2;
  for (const Bytes& bad : {Bytes{0, 0, 1}, beyond, MakeIco({}), cursor})
    EXPECT_THROW(SetIconGroup(tree, bad), EBadImage);
  EXPECT_TRUE(tree == before);
}

TEST(PeImage, VersionStrings) {
  ResourceTree tree;
  SetVersionStrings(tree, {{"ProductName", "Werkzeug \xC3\xA4\xF0\x9F\x99\x82"},
                           {"FileVersion", "2.5.0.17"}});
  const Bytes& made = tree.at(TResourceKey::Id(kResourceVersion)).at(TResourceKey::Id(1))
                          .at(TResourceKey::Id(0)).bytes;
  EXPECT_EQ(VersionString(made, "ProductName"), "Werkzeug \xC3\xA4\xF0\x9F\x99\x82");
  EXPECT_EQ(Get32(made, 40), 0xFEEF04BDu) << "fixed information after the 40-byte header";
  EXPECT_EQ(Get32(made, 48), 0x00020005u);
  EXPECT_EQ(Get32(made, 52), 0x00000011u);

  SetVersionStrings(tree, {{"ProductName", "Other"}, {"FileVersion", "not a number"}});
  EXPECT_EQ(VersionString(made, "ProductName"), "Other");
  EXPECT_EQ(VersionString(made, "FileVersion"), "not a number");
  EXPECT_EQ(Get32(made, 48), 0x00020005u) << "a text version leaves the numbers";
  EXPECT_EQ(VersionString(made, "Missing"), "");
  Bytes lying = made;
  lying[0] = 0xFF;  // claims more bytes than there are
  EXPECT_THROW(VersionString(lying, "ProductName"), EBadImage);
}

}  // namespace
