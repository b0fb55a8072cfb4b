// The command line of every subcommand: option forms, usage errors (exit 2), failures (exit 1)
// with their one-line reports, and what list and test print for a sound installer.
#include <gtest/gtest.h>

#include <limits>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/packing/member_selection.h"
#include "tools/sfxpack/platform/date_text.h"

namespace {

class CommandLine : public PackTest {
 protected:
  void SetUp() override {
    MakeInstaller({"--run", "data.bin"});
    WriteText(scratch_.Path("plain.txt"), "not an installer at all");
    WriteText(scratch_.Path("old"), "previous installer");
    for (const char* name : {"ok.txt", "drive:stream", "bell\x07", "nul.txt"}) WriteText(scratch_.Path("bad/") + name, "x");
    for (const char* name : {"data.bin", "sub/data.bin"}) WriteText(scratch_.Path("clash/") + name, "x");
  }
  // "@" stands for the scratch folder.
  std::string Expand(std::string text) const {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, scratch_.Path());
    return text;
  }
};

using Command = int (*)(const Arguments&);

TEST_F(CommandLine, Cases) {
  const std::string longRun(300, 'x');
  const struct {
    Command command;
    Arguments args;
    int exitCode;
    std::vector<std::string> out, err;
    const char* made = nullptr;  // a file the run must leave
  } rows[] = {
      {RunListCommand, {}, 2, {}, {"sfxpack list: give exactly one", "Try 'sfxpack list --help'."}},
      {RunListCommand, {"--offset", "12x", "@/inst"}, 2, {}, {}},
      {RunRestubCommand, {"@/inst", "-o", "@/o"}, 2, {}, {"--stub"}},
      {RunExtractCommand, {"@/inst", "--force=yes"}, 2, {}, {}},
      {RunExtractCommand, {"@/inst", "-C"}, 2, {}, {}},
      {RunCreateCommand, {"--stub", "@/stub.bin", "@/tree"}, 2, {}, {"-o OUT"}},
      {RunCreateCommand, {"-o", "@/o"}, 2, {}, {}},
      {RunCreateCommand, {"-o", "@/o", "--native", "--stub", "s", "@/tree"}, 2, {}, {}},
      {RunCreateCommand, {"-o", "@/o", "--params", "/S", "@/tree"}, 2, {}, {"--params needs --run"}},
      {RunCreateCommand, {"-o", "@/o", "--run", "a\r\nExecutable=evil.exe", "@/tree"}, 2, {}, {}},
      {RunCreateCommand, {"-o", "@/o", "--run", longRun, "@/tree"}, 2, {}, {}},
      {RunCreateCommand, {"-o", "@/o", "--date", "2023-02-29T00:00:00", "@/tree"}, 2, {}, {"--date needs"}},
      {RunCreateCommand, {"-o", "@/o", "-C", "@"}, 2, {}, {"--files-from"}},
      // Option forms: glued, with "=", the last occurrence wins, operands anywhere, "--".
      {RunCreateCommand, {"@/tree", "--stub=@/stub.bin", "-o@/glued", "-3", "-o", "@/last", "--run=data.bin"}, 0, {}, {}, "@/last"},
      {RunListCommand, {"--offset=4000", "--", "@/inst"}, 0, {"4 members"}, {}},
      {RunListCommand, {"@/inst"}, 0,
       {"        6000 ", " ....A ", " data.bin\n", " sub\\readme.txt\n", " $k$v$t$r.cnf\n", "4 members, CRC-32 checked\n",
        "Unpacks into: a new private folder", "Starts: data.bin\nWaits for: the program\n"}, {}},
      // The run settings, recorded and shown.
      {RunCreateCommand, {"-o", "@/set", "--stub=@/stub.bin", "--run=data.bin", "--in-temp", "--pass-args", "--wait-all", "@/tree"}, 0, {}, {}, "@/set"},
      {RunListCommand, {"@/set"}, 0, {"Unpacks into: the temporary folder itself", "data.bin + the installer's own arguments",
                                      "Waits for: every process the program starts"}, {}},
      {RunTestCommand, {"@/inst"}, 0, {"OK      data.bin\nOK      ro.txt\nOK      sub\\readme.txt\nOK      $k$v$t$r.cnf\n"}, {}},
      // Files that are no installers, and stubs that cannot serve.
      {RunListCommand, {"@/plain.txt"}, 1, {}, {"sfxpack: @/plain.txt: "}},
      {RunListCommand, {"@/missing"}, 1, {}, {"sfxpack: @/missing: "}},
      {RunListCommand, {"@/stub.bin"}, 1, {}, {"sfxpack: @/stub.bin: "}},
      {RunListCommand, {"@/inst", "--offset", "5"}, 1, {}, {}},
      {RunCreateCommand, {"--stub", "@/plain.txt", "-o", "@/o", "@/tree"}, 1, {}, {"@/plain.txt"}},
      {RunCreateCommand, {"--stub", "@/missing", "-o", "@/o", "@/tree"}, 1, {}, {}},
      {RunCreateCommand, {"--stub", "@/stub.bin", "-o", "@/o", "@/missing"}, 1, {}, {}},
      {RunCreateCommand, {"--stub", "@/stub.bin", "-o", "@/o", "--files-from", "@/missing"}, 1, {}, {"@/missing: "}},
      // Names the installer could not write: nothing is written, an old file stays as it was.
      {RunCreateCommand, {"--stub", "@/stub.bin", "-o", "@/old", "@/bad"}, 1, {}, {"drive:stream", "nul.txt", "3 name problems"}},
      {RunCreateCommand, {"--stub", "@/stub.bin", "-o", "@/o", "@/tree", "@/clash"}, 1, {}, {"data.bin"}},
      {RunCreateCommand, {"--stub", "@/stub.bin", "-o", "@/o", "--no-dirs", "@/clash"}, 1, {}, {"data.bin"}},
      // A stub without digits is used as it is, with a warning; the offset must then be given.
      {RunRestubCommand, {"@/inst", "--stub", "@/plain.txt", "-o", "@/o2"}, 0, {}, {"warning"}, "@/o2"},
      {RunTestCommand, {"@/o2", "--offset", "23"}, 0, {}, {}}};
  for (const auto& row : rows) {
    Arguments args;
    for (const std::string& arg : row.args) args.push_back(Expand(arg));
    SCOPED_TRACE(testing::PrintToString(args));
    const TRunResult run = RunTool(row.command, args);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    for (const std::string& text : row.out) EXPECT_NE(run.out.find(Expand(text)), std::string::npos) << run.out;
    for (const std::string& text : row.err) EXPECT_NE(run.err.find(Expand(text)), std::string::npos) << run.err;
    if (row.exitCode == 1 && row.command == RunListCommand) EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    if (row.exitCode == 2) EXPECT_TRUE(run.out.empty());
    if (row.made) EXPECT_TRUE(Exists(Expand(row.made)));
  }
  EXPECT_EQ(ReadText(scratch_.Path("old")), "previous installer");
  EXPECT_EQ(FolderEntries(scratch_.Path()), (std::vector<std::string>{"bad", "clash", "inst", "last", "o2", "old",
                                                                       "plain.txt", "set", "stub.bin", "tree"}));
  for (Command command : {RunCreateCommand, RunListCommand, RunTestCommand, RunExtractCommand, RunRestubCommand}) {
    const TRunResult help = RunTool(command, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: sfxpack ", 0), 0u) << help.out;
    const TRunResult wrong = RunTool(command, {"--no-such-option"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("--help"), std::string::npos) << wrong.err;
  }
}

// Listing dates: day counts from 1899-12-30, rounded to the second; none outside the calendar.
TEST(DateText, DayCountsAsIsoText) {
  const struct { long double days; const char* text; } rows[] = {
      {0, "1899-12-30T00:00:00"}, {45000.5L, "2023-03-15T12:00:00"}, {-1.25L, "1899-12-29T06:00:00"},
      {36526.999999999L, "2000-01-02T00:00:00"}, {std::numeric_limits<long double>::quiet_NaN(), "-"},
      {std::numeric_limits<long double>::infinity(), "-"}, {1e12L, "-"}, {-1e12L, "-"},
      {DayCountOf(2024, 2, 29, 18, 0, 0), "2024-02-29T18:00:00"}, {DayCountOf(9999, 12, 28, 23, 59, 58), "9999-12-28T23:59:58"},
      {DayCountOf(1601, 1, 1, 0, 0, 0), "1601-01-01T00:00:00"}};
  for (const auto& row : rows) EXPECT_EQ(IsoDateTimeText(row.days), row.text) << static_cast<double>(row.days);
}

// --date takes what the listing writes, for dates a DOS stamp holds; SOURCE_DATE_EPOCH counts UTC.
TEST(DateText, DatesGivenAsText) {
  long double date = 0;
  for (const char* text : {"1980-01-01T00:00:00", "2024-02-29T23:59:59", "2107-12-31T23:59:59"}) {
    EXPECT_TRUE(ParseIsoDateTime(text, date) && IsoDateTimeText(date) == text) << text;
  }
  for (const char* text : {"1979-12-31T23:59:59", "2023-02-29T00:00:00", "2024-04-31T00:00:00", "2024-01-01T24:00:00",
                           "2024-1-01T00:00:00", "2024-01-01 00:00:00", "2024-01-01T00:00:00Z", "+024-01-01T00:00:00"}) {
    EXPECT_FALSE(ParseIsoDateTime(text, date)) << text;
  }
  EXPECT_EQ(IsoDateTimeText(DayCountOfUnixTime(1700000000)), "2023-11-14T22:13:20");
}

// --exclude patterns against a name and each of its components, as tar users write them.
TEST(MemberSelection, ExcludePatterns) {
  const struct { const char* pattern; const char* name; bool excluded; } rows[] = {
      {"*.pdb", "bin/app.pdb", true}, {".git", "src/.git/config", true}, {"docs/*.tmp", "docs/a/b.tmp", true},
      {"docs/*.tmp", "src/docs/b.tmp", false}, {"[!a]?.txt", "b1.txt", true}, {"[!a]?.txt", "a1.txt", false},
      {"x[a-c]", "xb", true}, {"x[a-c]", "xd", false}, {"[", "[", true}, {"*a*b", "xaayb", true},
      {"a*", "ba", false}, {"*", "", true}, {"?", "", false}, {"bin", "binaries/x", false}};
  for (const auto& row : rows) EXPECT_EQ(IsExcludedName({row.pattern}, row.name), row.excluded) << row.pattern << " " << row.name;
}

}  // namespace
