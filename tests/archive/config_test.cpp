#include <gtest/gtest.h>

#include "archive/config.h"
#include "archive_test_support.h"
#include "tests/support/faulty_file_system.h"

namespace {

const char kSection[] = "KVTR Configuration";

TEST(ProfileValueTest, SectionAndKeyIgnoreCaseValuesTrimmedLineEndsAndLimits) {
  const std::string ini =
      "; comment\r\n[Other]\r\nExecutable=wrong.exe\r\n  [ kvtr configuration ]  \r\n"
      "  EXECUTABLE  =   setup.exe  \r\nnoequals\r\nUseDirs=0\r\nEmpty=\r\n[Later]\r\nLate=1\r\n";
  const struct { std::string text; const char *section, *key, *fallback; std::string value; } rows[] = {
      {ini, kSection, "Executable", "", "setup.exe"}, {ini, kSection, "usedirs", "", "0"},
      {ini, kSection, "Empty", "dflt", ""}, {ini, kSection, "Missing", "dflt  ", "dflt"},
      {ini, kSection, "Late", "", ""}, {ini, "Other", "Executable", "", "wrong.exe"},
      {ini, "Nowhere", "Executable", "d", "d"}, {"", kSection, "Executable", "", ""},
      {"[S]\nA=1\rB=2\r\nC=3", "S", "B", "", "2"}, {"[S]\nA=1\rB=2\r\nC=3", "S", "C", "", "3"},
      {"\xEF\xBB\xBF[S]\r\nA=x=y\r\n", "S", "A", "", "x=y"},
      {"[S]\r\nA=" + std::string(400, 'v') + "\r\n", "S", "A", "", std::string(259, 'v')},
      {"[S]\r\nA=1\r\nA=2\r\n", "S", "A", "", "1"}, {"[S]\r\nA= \" padded \" \r\n", "S", "A", "", " padded "}};
  for (const auto& r : rows) EXPECT_EQ(ProfileValue(r.text, r.section, r.key, r.fallback), r.value) << r.text << r.key;
}

TEST(ConfigFlagTest, OnlyZeroIsOff) {
  EXPECT_FALSE(ConfigFlag("0"));
  for (const char* on : {"1", "00", "yes", "no", "", " 0", "O"}) EXPECT_TRUE(ConfigFlag(on)) << on;
}

// Quotes around a value, a section given twice, a key without "=": as the system reads them
// (the Win32 build checks these rules against GetPrivateProfileStringA).
TEST(ReadConfigValueTest, QuotesAndRepeatedSections) {
  TempFolder folder;
  const std::string file = folder / "q.cnf";
  WriteDiskFile(file, Bytes("[S]\r\nA=\"quoted value\"\r\nB='single'\r\nC=\"open\r\nD=\"\r\nE=\"x'\r\n"
                            "NoEquals\r\n[T]\r\nX=1\r\n[S]\r\nLater=2\r\n"));
  EXPECT_EQ(ReadConfigValue("S", "A", "", file), "quoted value");
  EXPECT_EQ(ReadConfigValue("S", "B", "", file), "single");
  EXPECT_EQ(ReadConfigValue("S", "C", "", file), "\"open");
  EXPECT_EQ(ReadConfigValue("S", "D", "", file), "\"");
  EXPECT_EQ(ReadConfigValue("S", "E", "", file), "\"x'");
  EXPECT_EQ(ReadConfigValue("S", "NoEquals", "dflt", file), "dflt");
  EXPECT_EQ(ReadConfigValue("S", "Later", "", file), "") << "only the first section of a name";
  EXPECT_EQ(ReadConfigValue("S", "A", "dflt", folder / "missing.cnf"), "dflt");
}

// The extraction run takes every key from one reading of the file. On configurations as the
// builder and people write them the text gives what the platform's reader gives (on Win32 the
// system's), and when the file cannot be read again the text still gives every key.
TEST(ConfigTextValueTest, AgreesWithThePlatformReaderAndNeedsNoSecondReading) {
  const std::vector<std::string> configurations = {
      "[KVTR Configuration]\r\nUseDirs=1\r\nOverWrite=0\r\nAttributes=1\r\nFileDate=0\r\n"
      "Executable=SETUP.EXE\r\nParameters=\" /q \"\r\n",
      "; made by hand\r\n[kvtr configuration]\r\n\tExecutable =  \"Setup Tool.exe\" \r\n"
      "parameters= /dir=\"<TD>\" /q \r\nOVERWRITE=0\r\n  UseDirs = 0\r\n",
      "# note\n[Other]\nExecutable=wrong.exe\n[KVTR Configuration]\nAttributes=0\nFileDate= \n"
      "Executable=a=b.exe\n",
      "[KVTR Configuration]\r\nExecutable=" + std::string(300, 'x') + "\r\nParameters='quoted'\r\n",
      "[KVTR Configuration]\r\nExecutable=first.exe\r\nExecutable=second.exe\r\nOverWrite\r\n"
      "[KVTR Configuration]\r\nParameters=later\r\n",
      "[KVTR Configuration]\r\nExecutable=M\xFCller\\setup.exe\r\nParameters=<SD>\\x <WD>\r\n",
      "Executable=x.exe\r\n",
      "",
  };
  TempFolder folder;
  const std::string file = folder / "$k$v$t$r.cnf";
  for (size_t i = 0; i < configurations.size(); ++i) {
    const std::string& text = configurations[i];
    WriteDiskFile(file, Bytes(text));
    for (const char* key : {"Executable", "Parameters", "UseDirs", "OverWrite", "Attributes", "FileDate"}) {
      const std::string platform = ReadConfigValue(kSection, key, "", file);
      EXPECT_EQ(ProfileValue(text, kSection, key, ""), platform) << "configuration " << i << ", " << key;
      EXPECT_EQ(ConfigTextValue(text, kSection, key, file), platform) << "configuration " << i << ", " << key;
      EXPECT_EQ(ConfigTextValue(text, kSection, key, folder / "held elsewhere.cnf"), platform)
          << "configuration " << i << ", " << key << ": file not readable again";
    }
  }
}

// Read once through the file system: all of it, or the code of the call that failed.
TEST(ReadConfigTextTest, WholeFileOrTheFailure) {
  TempFolder folder;
  const std::string file = folder / "c.cnf";
  const std::string big = "[S]\r\n" + std::string(10000, ';') + "\r\nA=1\r\n";
  WriteDiskFile(file, Bytes(big));
  std::string content = "stale";
  EXPECT_EQ(ReadConfigText(file, content), 0);
  EXPECT_EQ(content, big);
  WriteDiskFile(file, {});
  EXPECT_EQ(ReadConfigText(file, content), 0);
  EXPECT_EQ(content, "");
  EXPECT_EQ(ReadConfigText(folder / "missing.cnf", content), kErrorFileNotFound);
  WriteDiskFile(file, Bytes(big));
  FaultyFileSystem faulty(PlatformFileSystem());
  ScopedFileSystem scoped(faulty);
  faulty.FailAt(FsCall::Read, 2, kErrorAccessDenied);
  EXPECT_EQ(ReadConfigText(file, content), kErrorAccessDenied);
  faulty.FailAt(FsCall::Open, 1, kErrorSharingViolation);
  faulty.ResetCounts();
  EXPECT_EQ(ReadConfigText(file, content), kErrorSharingViolation);
}

}  // namespace
