// Resource rewriting of Windows program images: round trips, icons, version strings, the
// image layout after the resource section grows or shrinks, and hostile input.
#include "tools/sfxpack/pe_resources.h"
#include "tests/pe/pe_test_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const LanguageMap& Named(const ResourceTree& tree, uint16_t type, const TResourceKey& name) {
  return tree.at(TResourceKey::Id(type)).at(name);
}

Bytes& FirstBlock(ResourceTree& tree) {
  return tree[TResourceKey::Id(10)][TResourceKey::Id(7)][TResourceKey::Id(0)].bytes;
}

}  // namespace

TEST(PeResources, RebuildKeepsTreeAndLayoutValid) {
  const Bytes image = MakeImage(StubLikeTree());
  PeImage parsed(image);
  EXPECT_TRUE(parsed.Resources() == StubLikeTree());
  const Bytes same = parsed.Build();
  EXPECT_EQ(same, image) << "an unchanged tree must give the same bytes";

  // Growing by more than a page moves the relocations behind the resources.
  FirstBlock(parsed.Resources()) = Bytes(0x1800, 0xAB);
  const Bytes grown = parsed.Build();
  PeImage reparsed(grown);
  EXPECT_TRUE(reparsed.Resources() == parsed.Resources());
  const uint32_t rsrcSize = Get32(grown, SectionHeader(1) + 8);
  EXPECT_EQ(Get32(grown, kOpt + 96 + 2 * 8 + 4), rsrcSize);
  EXPECT_EQ(Get32(grown, SectionHeader(1) + 16) % 0x200, 0u);
  EXPECT_GE(Get32(grown, SectionHeader(1) + 16), rsrcSize);
  const uint32_t relocVa = Get32(grown, SectionHeader(2) + 12);
  const uint32_t relocRaw = Get32(grown, SectionHeader(2) + 20);
  EXPECT_EQ(relocVa, 0x2000 + ((rsrcSize + 0xFFF) & ~0xFFFu));
  EXPECT_EQ(Get32(grown, kOpt + 96 + 5 * 8), relocVa);
  EXPECT_EQ(relocRaw, 0x600 + Get32(grown, SectionHeader(1) + 16));
  EXPECT_EQ(Get32(grown, relocRaw + 8), 0x30053001u) << "relocation block moved intact";
  EXPECT_EQ(Get32(grown, kOpt + 56), relocVa + 0x1000);
  EXPECT_EQ(Get32(grown, kOpt + 64), ImageChecksum(grown, kOpt + 64));
  EXPECT_EQ(grown[0x400], 0xC3) << "the code section is left alone";
}

TEST(PeResources, LayoutRules) {
  // A writable section behind the resources cannot move: growth fails, shrinking fits.
  const TImageShape pinned{kWritableData};
  ResourceTree big = StubLikeTree();
  FirstBlock(big) = Bytes(0x900, 1);
  PeImage fixed(MakeImage(big, pinned));
  FirstBlock(fixed.Resources()) = Bytes(0x2000, 1);
  EXPECT_THROW(fixed.Build(), EBadImage);
  fixed.Resources().erase(TResourceKey::Id(10));
  const Bytes shrunk = fixed.Build();
  EXPECT_TRUE(PeImage(shrunk).Resources() == StubLikeTree());
  EXPECT_EQ(Get32(shrunk, SectionHeader(2) + 12), Get32(MakeImage(big, pinned), SectionHeader(2) + 12));

  // Resources last, a symbol table behind them, no checksum: the table moves, zero stays zero.
  const TImageShape last{0, false, Bytes{'S', 'Y', 'M', 'S'}};
  // A debug directory in the code section names the same bytes by file position.
  Bytes withDebug = MakeImage(StubLikeTree(), last);
  const uint32_t tailAt = Get32(withDebug, kPe + 12);
  Set32(withDebug, kOpt + 96 + 6 * 8, 0x1100);
  Set32(withDebug, kOpt + 96 + 6 * 8 + 4, 28);
  std::fill(withDebug.begin() + 0x500, withDebug.begin() + 0x500 + 28, 0);
  Set32(withDebug, 0x500 + 16, 4);
  Set32(withDebug, 0x500 + 24, tailAt);
  PeImage tailed(withDebug);
  FirstBlock(tailed.Resources()) = Bytes(0x500, 1);
  const Bytes moved = tailed.Build();
  const uint32_t symbols = Get32(moved, kPe + 12);
  ASSERT_EQ(symbols + 4, moved.size());
  EXPECT_EQ(moved[symbols], 'S');
  EXPECT_EQ(Get32(moved, 0x500 + 24), symbols);
  EXPECT_EQ(Get32(moved, kOpt + 64), 0u);

  // A signed program would carry a signature the rewrite breaks.
  Bytes signedImage = MakeImage(StubLikeTree());
  Set32(signedImage, kOpt + 96 + 4 * 8, 0x800);
  EXPECT_THROW(PeImage(signedImage).Build(), EBadImage);
}

TEST(PeResources, IconGroupReplaced) {
  ResourceTree tree = StubLikeTree();
  tree[TResourceKey::Id(kResourceIcon)][TResourceKey::Id(9)][TResourceKey::Id(0)].bytes = {9};
  SetIconGroup(tree, MakeIco({100, 300, 5}));
  const auto& groups = tree.at(TResourceKey::Id(kResourceGroupIcon));
  ASSERT_EQ(groups.size(), 1u);
  const Bytes& group = Named(tree, kResourceGroupIcon, TResourceKey::Named(u"MAINICON"))
                           .at(TResourceKey::Id(0)).bytes;
  ASSERT_EQ(group.size(), 6u + 3 * 14);
  EXPECT_EQ(group[4], 3);
  const auto& icons = tree.at(TResourceKey::Id(kResourceIcon));
  EXPECT_EQ(icons.size(), 4u) << "three new images and the unrelated icon 9";
  for (int i = 0; i < 3; ++i) {
    const size_t entry = 6 + i * 14;
    const uint16_t id = static_cast<uint16_t>(group[entry + 12] | group[entry + 13] << 8);
    const Bytes& image = icons.at(TResourceKey::Id(id)).at(TResourceKey::Id(0)).bytes;
    EXPECT_EQ(image.size(), Get32(group, entry + 8));
    EXPECT_EQ(image[0], 0x10 + i);
    EXPECT_EQ(group[entry], 16 << i);
  }

  ResourceTree none;
  SetIconGroup(none, MakeIco({64}));
  EXPECT_EQ(Named(none, kResourceGroupIcon, TResourceKey::Id(1)).count(TResourceKey::Id(0)), 1u);
}

TEST(PeResources, MalformedIconFilesRejected) {
  ResourceTree tree = StubLikeTree();
  const ResourceTree before = tree;
  Bytes beyond = MakeIco({100});
  Set32(beyond, 6 + 8, 1000);
  Bytes empty = MakeIco({});
  Bytes cursor = MakeIco({10});
  cursor[2] = 2;
  for (const Bytes& bad : {Bytes{0, 0, 1}, beyond, empty, cursor})
    EXPECT_THROW(SetIconGroup(tree, bad), EBadImage);
  EXPECT_TRUE(tree == before);
}

TEST(PeResources, VersionStrings) {
  ResourceTree tree;
  SetVersionStrings(tree, {{"ProductName", "Werkzeug \xC3\xA4\xF0\x9F\x99\x82"},
                           {"FileVersion", "2.5.0.17"}});
  const Bytes& created = Named(tree, kResourceVersion, TResourceKey::Id(1)).at(TResourceKey::Id(0)).bytes;
  EXPECT_EQ(VersionString(created, "ProductName"), "Werkzeug \xC3\xA4\xF0\x9F\x99\x82");
  EXPECT_EQ(Get32(created, 40), 0xFEEF04BDu) << "fixed information after the 40-byte header";
  EXPECT_EQ(Get32(created, 48), 0x00020005u);
  EXPECT_EQ(Get32(created, 52), 0x00000011u);
  EXPECT_EQ(Get32(created, 0) & 0xFFFF, created.size());

  SetVersionStrings(tree, {{"ProductName", "Other"}, {"CompanyName", "ACME"},
                           {"FileVersion", "not a number"}});
  const Bytes& edited = Named(tree, kResourceVersion, TResourceKey::Id(1)).at(TResourceKey::Id(0)).bytes;
  EXPECT_EQ(VersionString(edited, "ProductName"), "Other");
  EXPECT_EQ(VersionString(edited, "CompanyName"), "ACME");
  EXPECT_EQ(VersionString(edited, "FileVersion"), "not a number");
  EXPECT_EQ(Get32(edited, 48), 0x00020005u) << "a text version leaves the numbers";
  EXPECT_EQ(VersionString(edited, "Missing"), "");

  Bytes truncated(edited.begin(), edited.begin() + 30);
  EXPECT_THROW(VersionString(truncated, "ProductName"), EBadImage);
  Bytes lying = edited;
  lying[0] = 0xFF;  // claims more bytes than there are
  EXPECT_THROW(VersionString(lying, "ProductName"), EBadImage);
}

TEST(PeResources, HostileImagesRejectedWithoutCrash) {
  ResourceTree tree = StubLikeTree();
  SetVersionStrings(tree, {{"FileDescription", "x"}});
  const Bytes good = MakeImage(tree);
  for (size_t length = 0; length < good.size(); length += 7) {
    try {
      PeImage(Bytes(good.begin(), good.begin() + length)).Build();
    } catch (const EBadImage&) {
    }
  }
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes damaged = good;
    for (int flips = 0; flips < 4; ++flips) {
      // Mostly the headers and the resource directory, where the offsets are.
      const size_t at = round % 2 ? random() % 0x200 : 0x600 + random() % 0x100;
      damaged[at] ^= static_cast<uint8_t>(1 << (random() % 8));
    }
    try {
      PeImage parsed(damaged);
      PeImage(parsed.Build());
    } catch (const EBadImage&) {
    }
  }
  const struct { const char* what; size_t at; uint32_t value; int width; } rows[] = {
      {"a directory that is its own subdirectory", 0x600 + 16 + 4, 0x80000000u, 4},
      {"no PE signature", kPe, 'X', 1},
      {"PE32+", kOpt, 0x20B, 2},
      {"resources outside every section", kOpt + 96 + 2 * 8, 0x7000, 4}};
  for (const auto& row : rows) {
    Bytes bad = good;
    for (int i = 0; i < row.width; ++i) bad[row.at + i] = static_cast<uint8_t>(row.value >> (8 * i));
    EXPECT_THROW(PeImage{bad}, EBadImage) << row.what;
  }
}

#ifdef SFX_STUB_PATH
TEST(PeResources, RealStubRoundTrip) {
  const Bytes stub = ReadBytes(SFX_STUB_PATH);
  if (stub.empty()) GTEST_SKIP() << SFX_STUB_PATH << " has not been built";
  PeImage parsed(stub);
  const ResourceTree original = parsed.Resources();
  const TResourceKey dialog = TResourceKey::Named(u"QZPROGRESSCLASS");
  ASSERT_EQ(Named(original, kResourceDialog, dialog).size(), 1u);
  ASSERT_EQ(Named(original, kResourceString, TResourceKey::Id(1)).size(), 1u);
  EXPECT_TRUE(PeImage(parsed.Build()).Resources() == original);

  SetIconGroup(parsed.Resources(), MakeIco({1000, 4000}));
  SetVersionStrings(parsed.Resources(), {{"ProductName", "Probe"}, {"FileVersion", "1.2.3.4"}});
  const Bytes rebuilt = parsed.Build();
  PeImage reread(rebuilt);
  for (uint16_t type : {kResourceDialog, kResourceString})
    EXPECT_TRUE(reread.Resources().at(TResourceKey::Id(type)) ==
                original.at(TResourceKey::Id(type)));
  EXPECT_EQ(VersionOf(rebuilt, "ProductName"), "Probe");
}
#endif
