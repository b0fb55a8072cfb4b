#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/launch.h"
#include "host/platform.h"

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandWords, SplitsAtBlanksAndTabsAndKeepsQuotedBlanks) {
  EXPECT_EQ(SplitCommandWords("  a\tb   c "), (Words{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandWords("\"\\tmp\\Anna Maria\\setup\" /q"),
            (Words{"\\tmp\\Anna Maria\\setup", "/q"}));
  EXPECT_EQ(SplitCommandWords("x'a b'y \"\" ''"), (Words{"xa by", "", ""}));
  EXPECT_EQ(SplitCommandWords(""), Words{});
}

TEST(SplitCommandWords, KeepsPathBackslashesAndExpandsNothing) {
  EXPECT_EQ(SplitCommandWords("\\tmp\\a\\ b $HOME *.txt ~"),
            (Words{"\\tmp\\a\\", "b", "$HOME", "*.txt", "~"}));
  EXPECT_EQ(SplitCommandWords("\"say \\\"hi\\\"\" 'it\\'s"), (Words{"say \"hi\"", "it\\s"}));
}

TEST(LaunchCommand, WaitsForTheProgramAndPassesItsWordsUnexpanded) {
  const std::string out = TempDirectory() + "sfx_launch_test.txt";
  const std::string command = "\\bin\\sh -c 'sleep 0.2; printf \"%s|\" \"$@\" > \"$0\"' " +
                              out + " \"a b\" '$HOME'";
  ASSERT_TRUE(LaunchCommand(command, false, true));
  std::ifstream in(NativePath(out));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "a b|$HOME|");
  std::remove(NativePath(out).c_str());
}

}  // namespace
