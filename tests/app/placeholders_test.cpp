#include "app/placeholders.h"

#include <gtest/gtest.h>

#include "host/paths.h"
#include "host/platform.h"

namespace {

TEST(ExpandPlaceholders, MatchesWithoutRegardToCaseAndKeepsTheSurroundingText) {
  EXPECT_EQ(ExpandPlaceholders("<td>setup.ini"), TempDirectory() + "setup.ini");
  EXPECT_EQ(ExpandPlaceholders("Run <Td>Setup.EXE /Q"), "Run " + TempDirectory() + "Setup.EXE /Q");
}

TEST(ExpandPlaceholders, ReplacesOnlyTheFirstOccurrenceOfEachTag) {
  EXPECT_EQ(ExpandPlaceholders("a<TD>b<TD>c"), "a" + TempDirectory() + "b<TD>c");
  EXPECT_EQ(ExpandPlaceholders("<AD>x <TD>y <AD>z"),
            DirectoryOf(ModuleFileName()) + "x " + TempDirectory() + "y <AD>z");
}

TEST(ExpandPlaceholders, LeavesTextWithoutTagsUnchanged) {
  EXPECT_EQ(ExpandPlaceholders(""), "");
  EXPECT_EQ(ExpandPlaceholders("C:\\TEMP\\SETUP.EXE <T D> <TD <XD>"),
            "C:\\TEMP\\SETUP.EXE <T D> <TD <XD>");
}

TEST(ExpandPlaceholders, SystemFoldersEndInABackslashOrAreEmpty) {
  // Empty on a system without them (the native build), never a lone "\".
  EXPECT_EQ(ExpandPlaceholders("<WD>"), WithBackslash(WindowsDirectory()));
  EXPECT_EQ(ExpandPlaceholders("<sd>"), WithBackslash(SystemDirectory()));
  EXPECT_NE(ExpandPlaceholders("<WD>"), "\\");
  EXPECT_EQ(ExpandPlaceholders("<AD>").back(), '\\');
  EXPECT_EQ(ExpandPlaceholders("<TD>").back(), '\\');
}

TEST(ExpandPlaceholders, FormsTheDeleteListPath) {
  EXPECT_EQ(ExpandPlaceholders("<TD>$d$e$l$.lst"), TempDirectory() + "$d$e$l$.lst");
}

}  // namespace
