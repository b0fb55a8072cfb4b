// The configuration member's text, and that the installer's own reader gets every value back.
#include <gtest/gtest.h>

#include "tools/sfxpack/config_member.h"

namespace {

TEST(ConfigurationText, FlagsThenProgramWithCrLf) {
  TConfiguration config;
  config.executable = "SETUP.EXE";
  EXPECT_EQ(ConfigurationText(config),
            "[KVTR Configuration]\r\nUseDirs=1\r\nOverWrite=1\r\nAttributes=1\r\nFileDate=1\r\n"
            "CodePage=1252\r\nExecutable=SETUP.EXE\r\n");
  config.parameters = "/S /D=<TD>";
  config.useDirs = config.overwrite = config.attributes = config.fileDate = false;
  config.codePage = 932;
  EXPECT_EQ(ConfigurationText(config),
            "[KVTR Configuration]\r\nUseDirs=0\r\nOverWrite=0\r\nAttributes=0\r\nFileDate=0\r\n"
            "CodePage=932\r\nExecutable=SETUP.EXE\r\nParameters=/S /D=<TD>\r\n");
  EXPECT_EQ(ConfigurationText(TConfiguration{}).find("Executable"), std::string::npos);
}

// Values that the Windows profile reader would trim or unquote are protected so that they
// arrive whole. (GetPrivateProfileStringA under Wine: A="a b" "c d" reads as a b" "c d.)
TEST(ConfigurationText, ValuesSurviveTheInstallersReader) {
  const std::vector<std::string> values = {"\"a b\" \"c d\"", "'x'", " leading", "trailing ",
                                           "plain value", "\"", "=", "a;b", std::string(257, 'v')};
  for (const std::string& value : values) {
    ASSERT_TRUE(ConfigValueProblem(value).empty()) << value;
    TConfiguration config;
    config.executable = "run.exe";
    config.parameters = value;
    EXPECT_EQ(ParseConfigurationText(ConfigurationText(config)).parameters, value);
  }
  EXPECT_FALSE(ConfigValueProblem(std::string(258, 'v') + " ").empty());  // 261 once quoted
  EXPECT_FALSE(ConfigValueProblem("a\nb").empty());
}

TEST(ConfigurationParse, ReadsLikeTheInstaller) {
  const TConfiguration config = ParseConfigurationText(
      "; comment\n[other]\nExecutable=wrong.exe\n[ kvtr configuration ]\r\n"
      "executable = Setup.exe \r\nUSEDIRS=00\r\nOverWrite=0\r\nAttributes=no\r\n"
      "FileDate=\r\nExecutable=second.exe\r\nCodePage=936\r\n");
  EXPECT_TRUE(config.sectionFound);
  EXPECT_EQ(config.executable, "Setup.exe");
  EXPECT_TRUE(config.useDirs);  // only exactly "0" is off
  EXPECT_FALSE(config.overwrite);
  EXPECT_TRUE(config.attributes);
  EXPECT_TRUE(config.fileDate);
  EXPECT_EQ(config.codePage, 936);
  EXPECT_FALSE(ParseConfigurationText("Executable=x\r\n").sectionFound);
  EXPECT_EQ(ParseConfigurationText("[KVTR Configuration]\r\n").codePage, 1252);  // recorded by none
}

}  // namespace
