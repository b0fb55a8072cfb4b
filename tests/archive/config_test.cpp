// The configuration reader against the platform's rules. That the stub and the builder read a
// configuration alike is the fuzz target archive_config's check; that a run reads the file once,
// the archive extraction test's.
#include <gtest/gtest.h>

#include "archive/config.h"
#include "archive_test_support.h"

namespace {

// Configurations as the builder and people write them, a repeated section and odd blanks
// among them: the text gives what the platform's reader gives (on Win32 the system's), also
// when the file cannot be read again.
TEST(ConfigReader, AgreesWithThePlatformReader) {
  const std::string configurations[] = {
      "[KVTR Configuration]\r\nUseDirs=1\r\nOverWrite=0\r\nAttributes=1\r\nFileDate=0\r\n"
      "CodePage=936\r\nExecutable=SETUP.EXE\r\nParameters=\" /q \"\r\n",
      "; by hand\r\n[ kvtr configuration ]\r\n\tExecutable =  \"Setup Tool.exe\" \r\n"
      "parameters= /dir=\"<TD>\" /q \v\r\nOVERWRITE=0\r\n  UseDirs = 0\f\r\n",
      "# note\n[Other]\nExecutable=wrong.exe\n[KVTR Configuration]\nAttributes=0\rFileDate= \n",
      "\xEF\xBB\xBF[KVTR Configuration]\r\nExecutable=" + std::string(300, 'x') + "\r\nParameters='q'\r\n",
      "[KVTR Configuration]\r\nExecutable=first.exe\r\nExecutable=second.exe\r\nOverWrite\r\n"
      "[KVTR Configuration]\r\nParameters=later\r\nUseDirs=0\r\n",
      "Executable=x.exe\r\n"};
  ScratchFolder folder;
  const std::string file = folder.Internal("$k$v$t$r.cnf");
  for (const std::string& text : configurations) {
    WriteDiskFile(file, Bytes(text));
    for (const TConfigKey& key : kConfigKeys) {
      const std::string platform = ReadConfigValue(kConfigSection, key.name, "", file);
      EXPECT_EQ(ConfigTextValue(text, kConfigSection, key.name, file), platform) << text << key.name;
      EXPECT_EQ(ConfigTextValue(text, kConfigSection, key.name, folder.Internal("gone")), platform) << text << key.name;
    }
  }
  EXPECT_EQ(ParseConfiguration(configurations[0], file).codePage, 1252) << "the stub ignores CodePage";
  EXPECT_EQ(ParseConfiguration(configurations[0]).codePage, 936);
  EXPECT_FALSE(ParseConfiguration(configurations[5]).sectionFound);
}

}  // namespace
