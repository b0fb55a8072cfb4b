// The configuration member's text, and that the installer's reader gets every value back.
#include <gtest/gtest.h>

#include "tools/sfxpack/config_member.h"

TEST(ConfigurationText, WrittenInTableOrderAndReadBackWhole) {
  TConfiguration config;
  config.executable = "SETUP.EXE";
  config.useDirs = config.fileDate = false;
  EXPECT_EQ(ConfigurationText(config), "[KVTR Configuration]\r\nUseDirs=0\r\nOverWrite=1\r\nAttributes=1\r\n"
                                       "FileDate=0\r\nCodePage=1252\r\nExecutable=SETUP.EXE\r\n");
  // Values the profile reader would trim or unquote are protected so that they arrive whole.
  for (const std::string& value : {std::string("\"a b\" \"c d\""), std::string("'x'"), std::string(" lead"),
                                   std::string("trail "), std::string(257, 'v')}) {
    ASSERT_TRUE(ConfigValueProblem(value).empty()) << value;
    config.parameters = value;
    EXPECT_EQ(ParseConfiguration(ConfigurationText(config)).parameters, value);
  }
  EXPECT_FALSE(ConfigValueProblem(std::string(258, 'v') + " ").empty());  // 261 once quoted
  EXPECT_FALSE(ConfigValueProblem("a\nb").empty());
}
