#include <gtest/gtest.h>

#include "archive/config.h"
#include "archive_test_support.h"

namespace {

const char kSection[] = "KVTR Configuration";

TEST(ProfileValueTest, SectionAndKeyIgnoreCaseAndValuesAreTrimmed) {
  const std::string ini =
      "; comment\r\n[Other]\r\nExecutable=wrong.exe\r\n  [ kvtr configuration ]  \r\n"
      "  EXECUTABLE  =   setup.exe  \r\nnoequals\r\nUseDirs=0\r\nEmpty=\r\n[Later]\r\nLate=1\r\n";
  EXPECT_EQ(ProfileValue(ini, kSection, "Executable", ""), "setup.exe");
  EXPECT_EQ(ProfileValue(ini, kSection, "usedirs", ""), "0");
  EXPECT_EQ(ProfileValue(ini, kSection, "Empty", "dflt"), "");
  EXPECT_EQ(ProfileValue(ini, kSection, "Missing", "dflt  "), "dflt");
  EXPECT_EQ(ProfileValue(ini, kSection, "Late", ""), "");
  EXPECT_EQ(ProfileValue(ini, "Other", "Executable", ""), "wrong.exe");
  EXPECT_EQ(ProfileValue(ini, "Nowhere", "Executable", "d"), "d");
  EXPECT_EQ(ProfileValue("", kSection, "Executable", ""), "");
}

TEST(ProfileValueTest, LineEndsAndLimits) {
  EXPECT_EQ(ProfileValue("[S]\nA=1\rB=2\r\nC=3", "S", "B", ""), "2");
  EXPECT_EQ(ProfileValue("[S]\nA=1\rB=2\r\nC=3", "S", "C", ""), "3");
  EXPECT_EQ(ProfileValue("\xEF\xBB\xBF[S]\r\nA=x=y\r\n", "S", "A", ""), "x=y");
  const std::string longValue(400, 'v');
  EXPECT_EQ(ProfileValue("[S]\r\nA=" + longValue + "\r\n", "S", "A", ""), std::string(259, 'v'));
  EXPECT_EQ(ProfileValue("[S]\r\nA=1\r\nA=2\r\n", "S", "A", ""), "1");
  EXPECT_EQ(ProfileValue("[S]\r\nA= \" padded \" \r\n", "S", "A", ""), " padded ");
}

TEST(ConfigFlagTest, OnlyZeroIsOff) {
  EXPECT_FALSE(ConfigFlag("0"));
  for (const char* on : {"1", "00", "yes", "no", "", " 0", "O"}) EXPECT_TRUE(ConfigFlag(on)) << on;
}

// The same rules through the platform's reader (the system's on Win32).
TEST(ReadConfigValueTest, ReadsAFileOnDisk) {
  TempFolder folder;
  const std::string file = folder / "$k$v$t$r.cnf";
  WriteDiskFile(file, Bytes("[KVTR Configuration]\r\nExecutable= SETUP.EXE \r\nuSeDiRs=0\r\nLong=" +
                            std::string(300, 'x') + "\r\n"));
  EXPECT_EQ(ReadConfigValue(kSection, "Executable", "", file), "SETUP.EXE");
  EXPECT_EQ(ReadConfigValue("kvtr CONFIGURATION", "USEDIRS", "", file), "0");
  EXPECT_EQ(ReadConfigValue(kSection, "Long", "", file), std::string(259, 'x'));
  EXPECT_EQ(ReadConfigValue(kSection, "Parameters", "", file), "");
  EXPECT_EQ(ReadConfigValue(kSection, "Executable", "", folder / "missing.cnf"), "");
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
}

}  // namespace
