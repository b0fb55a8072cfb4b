// `create --icon --version-info`: the options, the rewritten stub's offset digits and version
// defaults, failures that name their file, and the checksum over stub and archive.
#include "tools/sfxpack/stub_branding.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/pe/pe_test_image.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/pe_resources.h"
#include "tools/sfxpack/stub_image.h"

namespace {

const std::vector<TOptionDef> kOptions = {{"-o", true}, {"--icon", true}, {"--version-info", true}};

}  // namespace

TEST(StubBranding, Options) {
  const TStubBranding branding = BrandingOf(ParseOptions(
      {"--version-info", "ProductName=A=B", "--icon=x.ico", "--version-info=Comments=", "-o", "o"},
      kOptions));
  EXPECT_EQ(branding.iconFile, "x.ico");
  ASSERT_EQ(branding.versionStrings.size(), 2u);
  EXPECT_EQ(branding.versionStrings[0].first + "|" + branding.versionStrings[0].second, "ProductName|A=B");
  EXPECT_EQ(branding.versionStrings[1].first + "|" + branding.versionStrings[1].second, "Comments|");
  EXPECT_TRUE(BrandingOf(ParseOptions({"-o", "o"}, kOptions)).Empty());
  for (const char* bad : {"NoValue", "=value", "Key=line\nbreak"})
    EXPECT_THROW(BrandingOf(ParseOptions({"--version-info", bad}, kOptions)), EUsageError) << bad;
  EXPECT_THROW(BrandingOf(ParseOptions({"--icon="}, kOptions)), EUsageError);
}

TEST(StubBranding, RewrittenStubCarriesItsOwnSize) {
  const Bytes stub = MakeImage(StubLikeTree());
  TStubBranding branding;
  branding.iconFile = WriteTemporary("branding.ico", MakeIco({3000, 3000}));
  branding.versionStrings = {{"ProductName", "Probe"}};
  const Bytes branded = BrandStub(stub, "stub.exe", branding, "out/dir/Setup.exe");
  ASSERT_GT(branded.size(), stub.size());

  TOffsetDigits digits;
  std::string reason;
  ASSERT_TRUE(FindOffsetDigits(branded.data(), branded.size(), digits, reason)) << reason;
  EXPECT_EQ(digits.value, branded.size());
  EXPECT_EQ(VersionOf(branded, "OriginalFilename"), "Setup.exe");
  EXPECT_EQ(VersionOf(branded, "ProductName"), "Probe");
  const PeImage parsed(branded);
  EXPECT_TRUE(parsed.Resources().at(TResourceKey::Id(kResourceDialog)) ==
              StubLikeTree().at(TResourceKey::Id(kResourceDialog)));

  branding.iconFile.clear();
  branding.versionStrings = {{"OriginalFilename", "named.exe"}};
  EXPECT_EQ(VersionOf(BrandStub(stub, "stub.exe", branding, "Setup.exe"), "OriginalFilename"),
            "named.exe");
  std::remove(WriteTemporary("branding.ico", {}).c_str());
}

TEST(StubBranding, FailuresNameTheirFile) {
  const Bytes stub = MakeImage(StubLikeTree());
  TStubBranding branding;
  branding.iconFile = WriteTemporary("not-an-icon.ico", Bytes{'t', 'e', 'x', 't', 0, 0, 0});
  auto messageOf = [&](const Bytes& image) {
    try {
      BrandStub(image, "the-stub.exe", branding, "Setup.exe");
    } catch (const EPackError& failure) {
      return failure.Message();
    }
    return std::string("no failure");
  };
  EXPECT_EQ(messageOf(stub).rfind(branding.iconFile + ": ", 0), 0u) << messageOf(stub);
  EXPECT_EQ(messageOf(Bytes(600, 'x')).rfind("the-stub.exe: ", 0), 0u) << messageOf(Bytes(600, 'x'));
  branding.iconFile = testing::TempDir() + "missing.ico";
  EXPECT_NE(messageOf(stub).find("missing.ico"), std::string::npos) << messageOf(stub);
  std::remove((testing::TempDir() + "not-an-icon.ico").c_str());
}

TEST(StubBranding, ChecksumCoversStubAndArchive) {
  Bytes stub = MakeImage(StubLikeTree());
  stub.push_back(0x5A);  // an odd-sized stub: the archive's first byte pairs with its last
  const Bytes archive = {1, 2, 3, 4, 5, 0xFF, 0xFE};
  StampInstallerChecksum(stub, archive);
  Bytes whole = stub;
  whole.insert(whole.end(), archive.begin(), archive.end());
  EXPECT_EQ(Get32(stub, kOpt + 64), ImageChecksum(whole, kOpt + 64));
  EXPECT_NE(Get32(stub, kOpt + 64), 0u);

  Bytes native(300, 'n');
  StampInstallerChecksum(native, archive);
  EXPECT_EQ(native, Bytes(300, 'n'));
}
