// Names the builder refuses, and members that would land on one another.
#include <gtest/gtest.h>

#include "archive/directory.h"
#include "tests/support/hostile_names.h"
#include "tools/sfxpack/member_names.h"

namespace {

TEST(MemberNames, RefusedBeforeTheInstallerWouldBe) {
  for (const THostileName& row : HostileNames()) {
    if (row.builder != '?') EXPECT_EQ(MemberNameProblem(row.name).empty(), row.builder == '+') << row.name;
  }
  for (const std::string& name : {std::string(), std::string(256, 'n')}) EXPECT_FALSE(MemberNameProblem(name).empty());
  EXPECT_EQ(MemberNameProblem(std::string(255, 'n')), "");
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
