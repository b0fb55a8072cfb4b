#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/launch.h"
#include "host/platform.h"

namespace {

// Blanks and tabs split, quotes keep blanks, "\" stays as a path character and nothing is
// expanded.
TEST(SplitCommandWords, SplitsLikeAShellWithoutExpanding) {
  using Words = std::vector<std::string>;
  const struct { const char* command; Words words; } kRows[] = {
      {"  a\tb   c ", {"a", "b", "c"}}, {"", {}},
      {"\"\\tmp\\Anna Maria\\setup\" /q", {"\\tmp\\Anna Maria\\setup", "/q"}},
      {"x'a b'y \"\" ''", {"xa by", "", ""}},
      {"\\tmp\\a\\ b $HOME *.txt ~", {"\\tmp\\a\\", "b", "$HOME", "*.txt", "~"}},
      {"\"say \\\"hi\\\"\" 'it\\'s", {"say \"hi\"", "it\\s"}}};
  for (const auto& row : kRows) EXPECT_EQ(SplitCommandWords(row.command), row.words) << row.command;
}

TEST(LaunchCommand, WaitsForTheProgramAndPassesItsWordsUnexpanded) {
  const std::string out = TempDirectory() + "sfx_launch_test.txt";
  ASSERT_TRUE(LaunchCommand("\\bin\\sh -c 'sleep 0.2; printf \"%s|\" \"$@\" > \"$0\"' " + out +
                                " \"a b\" '$HOME'", false, true));
  std::stringstream text;
  text << std::ifstream(NativePath(out)).rdbuf();
  EXPECT_EQ(text.str(), "a b|$HOME|");
  std::remove(NativePath(out).c_str());
}

}  // namespace
