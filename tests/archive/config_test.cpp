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

}  // namespace
