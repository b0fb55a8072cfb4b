// Names the builder refuses, and members that would land on one another.
#include <gtest/gtest.h>

#include "archive/directory.h"
#include "tools/sfxpack/member_names.h"

namespace {

TEST(MemberNames, RefusedBeforeTheInstallerWouldBe) {
  const std::vector<std::string> refused = {
      "", "..\\evil", "a\\..\\..\\b", "a\\...\\b", "c:evil", "a:stream", "\\\\server\\share",
      std::string("tab\there"), std::string("bell\x07"), std::string("del\x7F"),
      std::string(256, 'n'), "a\\\\b", "trailing.", "trailing ", "dir.\\x", "NUL", "nul.txt",
      "sub\\COM1.log", "lpt9", "con", "Con .log", "COM\xB9", "what?", "a*b", "pipe|", "<x>", "q\"uote"};
  for (const std::string& name : refused) EXPECT_FALSE(MemberNameProblem(name).empty()) << name;
  // Everything the installer itself refuses is refused here as well: every short name over
  // the characters that matter.
  const std::string alphabet = std::string("a.\\/: ") + '\x01';
  std::vector<std::string> names = {""};
  for (size_t start = 0, length = 0; length < 4; ++length) {
    const size_t end = names.size();
    for (size_t i = start; i < end; ++i)
      for (char c : alphabet) names.push_back(names[i] + c);
    start = end;
  }
  for (const std::string& name : names)
    EXPECT_TRUE(IsSafeMemberName(name) || !MemberNameProblem(name).empty()) << name;
  const std::vector<std::string> accepted = {"a.txt", "sub\\deeper\\a.txt", "\\rooted\\once.txt",
                                             ".hidden", "..x", "x..y", "icon.d\\file",
                                             "COM10", "LPT0", std::string(255, 'n'),
                                             "\xC3\xA4rger.txt"};
  for (const std::string& name : accepted) {
    EXPECT_EQ(MemberNameProblem(name), "") << name;
    EXPECT_TRUE(IsSafeMemberName(name)) << name;
  }
}

TEST(MemberNames, TargetNameFollowsUseDirs) {
  EXPECT_EQ(TargetNameOf("\\sub\\a.txt", true), "sub\\a.txt");
  EXPECT_EQ(TargetNameOf("sub\\a.txt", true), "sub\\a.txt");
  EXPECT_EQ(TargetNameOf("sub\\a.txt", false), "a.txt");
}

TEST(MemberNames, ClashesOnWindowsFileSystems) {
  EXPECT_TRUE(FindNameClashes({"a.txt", "sub\\a.txt", "B"}, true).empty());
  EXPECT_EQ(FindNameClashes({"Readme.TXT", "README.txt"}, true).size(), 1u);
  EXPECT_EQ(FindNameClashes({"x\\a.txt", "y\\a.txt"}, false).size(), 1u);  // --no-dirs
  EXPECT_EQ(FindNameClashes({"a", "A\\b.txt"}, true).size(), 1u);           // file and folder
  EXPECT_EQ(FindNameClashes({"$D$E$L$.LST"}, true).size(), 1u);             // the delete list
  EXPECT_EQ(FindNameClashes({"sub\\$d$e$l$.lst"}, false).size(), 1u);
  EXPECT_TRUE(FindNameClashes({"sub\\$d$e$l$.lst"}, true).empty());
}

}  // namespace
