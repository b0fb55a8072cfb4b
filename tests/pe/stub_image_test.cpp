// The offset digits in PE32, PE32+ and native stubs, the stub rewritten by `create --icon
// --version-info`, the installer's checksum, and the real stubs of this build.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "tests/pe/pe_test_image.h"
#include "tools/sfxpack/stub_branding.h"
#include "tools/sfxpack/stub_image.h"

namespace {

bool Find(const Bytes& image, TOffsetDigits& found) {
  std::string reason;
  return FindOffsetDigits(image.data(), image.size(), found, reason);
}

std::string DigitsAt(const Bytes& image, const TOffsetDigits& found) {
  const size_t width = found.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
  std::string text;
  for (int i = 0; i < found.digitCount; ++i) text += static_cast<char>(image[found.position + width * i]);
  return text;
}

TEST(OffsetDigits, FoundAndRewrittenInPeImages) {
  for (const bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    Bytes image = MakeImage(StubLikeTree(), {wide});
    TOffsetDigits found;
    ASSERT_TRUE(Find(image, found));
    EXPECT_EQ(found.carrier, OffsetCarrier::PeStringResource);
    EXPECT_EQ(found.value, 47616u);
    ASSERT_TRUE(WriteOffsetDigits(image, found, 1234));
    EXPECT_EQ(DigitsAt(image, found), "000001234");
    EXPECT_TRUE(Find(image, found) && found.value == 1234u);
    EXPECT_FALSE(WriteOffsetDigits(image, found, 1000000000)) << "ten digits do not fit";

    EXPECT_FALSE(Find(MakeImage(StubLikeTree(u"00004761x"), {wide}), found));
    EXPECT_FALSE(Find(MakeImage(StubLikeTree(u""), {wide}), found));
    Bytes shortText = MakeImage(StubLikeTree(u"512"), {wide});
    ASSERT_TRUE(Find(shortText, found)) << "fewer digits are read";
    EXPECT_FALSE(WriteOffsetDigits(shortText, found, 512)) << "but there is no room for nine";
    Bytes damaged = image;
    Set32(damaged, 0x600 + 20, 0x80000000u);  // the root is its own subdirectory
    EXPECT_FALSE(Find(damaged, found));
  }
}

TEST(OffsetDigits, NativeBlockFirstValidMarkerCounts) {
  Bytes image(4000, 0x90);
  const std::string blocks[] = {SFX_OFFSET_MARKER "12345678x", SFX_OFFSET_MARKER SFX_OFFSET_PLACEHOLDER,
                                SFX_OFFSET_MARKER "000000001"};
  for (int i = 0; i < 3; ++i) std::memcpy(&image[10 + 1000 * i], blocks[i].data(), blocks[i].size());
  TOffsetDigits found;
  ASSERT_TRUE(Find(image, found));
  EXPECT_EQ(found.carrier, OffsetCarrier::NativeBlock);
  EXPECT_EQ(found.value, 47616u);
  ASSERT_TRUE(WriteOffsetDigits(image, found, 3000));
  EXPECT_EQ(DigitsAt(image, found), "000003000");
  EXPECT_FALSE(Find(Bytes(image.begin(), image.begin() + 1030), found)) << "cut inside the digits";
}

TEST(OffsetDigits, BrandedStubCarriesItsNewSizeAndInstallerChecksum) {
  ScratchFolder scratch;
  const Bytes stub = MakeImage(StubLikeTree());
  TStubBranding branding;
  branding.iconFile = scratch.Path("app.ico");
  WriteBytes(branding.iconFile, MakeIco({3000, 3000}));
  branding.versionStrings = {{"ProductName", "Probe"}};
  Bytes branded = BrandStub(stub, "stub.exe", branding, "out/dir/Setup.exe");
  TOffsetDigits found;
  ASSERT_TRUE(Find(branded, found));
  EXPECT_EQ(found.value, branded.size());
  EXPECT_EQ(VersionOf(branded, "OriginalFilename"), "Setup.exe");
  EXPECT_EQ(VersionOf(branded, "ProductName"), "Probe");

  branded.push_back(0x5A);  // odd-sized: the archive's first byte pairs with the stub's last
  const Bytes archive = {1, 2, 3, 4, 5, 0xFF, 0xFE};
  StampInstallerChecksum(branded, archive);
  Bytes whole = branded;
  whole.insert(whole.end(), archive.begin(), archive.end());
  EXPECT_EQ(Get32(branded, kChecksum), ImageChecksum(whole, kChecksum));

  WriteBytes(branding.iconFile, Bytes{'t', 'e', 'x', 't', 0, 0, 0});
  for (const auto& [image, named] : {std::pair{stub, branding.iconFile}, {Bytes(600, 'x'), "stub.exe"}}) {
    try {
      BrandStub(image, "stub.exe", branding, "Setup.exe");
      ADD_FAILURE() << "no failure for " << named;
    } catch (const EPackError& failure) {
      EXPECT_EQ(failure.Message().rfind(named + ": ", 0), 0u) << failure.Message();
    }
  }
}

// The stubs of this build and those beside it carry their own size, and a Windows one takes
// an icon and version strings keeping its dialog and string table.
TEST(OffsetDigits, RealStubs) {
  std::stringstream paths(SFX_TEST_STUBS);
  int checked = 0;
  for (std::string path; std::getline(paths, path, '|');) {
    if (path.empty() || !std::filesystem::exists(path)) continue;
    SCOPED_TRACE(path);
    ++checked;
    const Bytes stub = ReadBytes(path);
    TOffsetDigits found;
    ASSERT_TRUE(Find(stub, found));
    EXPECT_EQ(found.digitCount, 9);
    EXPECT_EQ(found.value, stub.size()) << "the build wrote in its own size";
    if (!IsPeImage(stub.data(), stub.size())) continue;
    const ResourceTree original = PeImage(stub).Resources();
    TStubBranding branding;
    branding.versionStrings = {{"ProductName", "Probe"}, {"FileVersion", "1.2.3.4"}};
    const Bytes branded = BrandStub(stub, path, branding, "Setup.exe");
    for (uint16_t type : {kResourceDialog, kResourceString})
      EXPECT_TRUE(PeImage(branded).Resources().at(TResourceKey::Id(type)) == original.at(TResourceKey::Id(type)));
    EXPECT_EQ(VersionOf(branded, "ProductName"), "Probe");
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
