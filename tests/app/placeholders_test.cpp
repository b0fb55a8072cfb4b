#include "app/placeholders.h"

#include <gtest/gtest.h>

#include "host/paths.h"
#include "host/platform.h"

namespace {

// Tags match in any letter case, only the first of each kind is replaced, and the folders
// end in "\" or are empty (a system without them, the native build), never a lone "\".
TEST(ExpandPlaceholders, ReplacesTheFirstOfEachTag) {
  const std::string td = TempDirectory(), ad = DirectoryOf(ModuleFileName());
  const struct { std::string text, expanded; } kRows[] = {
      {"<td>setup.ini", td + "setup.ini"}, {"Run <Td>Setup.EXE /Q", "Run " + td + "Setup.EXE /Q"},
      {"a<TD>b<TD>c", "a" + td + "b<TD>c"}, {"<AD>x <TD>y <AD>z", ad + "x " + td + "y <AD>z"},
      {"", ""}, {"C:\\TEMP\\SETUP.EXE <T D> <TD <XD>", "C:\\TEMP\\SETUP.EXE <T D> <TD <XD>"},
      {"<WD>", WithBackslash(WindowsDirectory())}, {"<sd>", WithBackslash(SystemDirectory())},
      {"<TD>$d$e$l$.lst", td + "$d$e$l$.lst"}};
  for (const auto& row : kRows) EXPECT_EQ(ExpandPlaceholders(row.text), row.expanded) << row.text;
  EXPECT_NE(ExpandPlaceholders("<WD>"), "\\");
  EXPECT_EQ(ad.back(), '\\');
  EXPECT_EQ(td.back(), '\\');
}

}  // namespace
