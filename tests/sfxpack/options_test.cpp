// The command line: option forms, usage errors (exit 2) and what create makes of it.
#include <gtest/gtest.h>

#include "sfxpack_test_support.h"
#include "tools/sfxpack/create.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/options.h"

namespace {

const std::vector<TOptionDef> kOptions = {{"-o", true}, {"--stub", true}, {"--force", false},
                                         {"-1", false}, {"-9", false}};

TCreateRequest Request(const Arguments& args) { return CreateRequestOf(ParseOptions(args, CreateOptionList())); }

TEST(Options, ValuesInEveryFormAndOperandsAnywhere) {
  const ParsedOptions a = ParseOptions({"x", "-o", "out", "--stub=s.exe", "y", "--force"}, kOptions);
  EXPECT_EQ(a.Value("-o"), "out");
  EXPECT_EQ(a.Value("--stub"), "s.exe");
  EXPECT_TRUE(a.Has("--force"));
  EXPECT_EQ(a.Operands(), (std::vector<std::string>{"x", "y"}));

  const ParsedOptions glued = ParseOptions({"-oout.exe", "-o", "last"}, kOptions);
  EXPECT_EQ(glued.Value("-o"), "last");  // the last occurrence wins

  const ParsedOptions ended = ParseOptions({"--", "-o", "--force", "-"}, kOptions);
  EXPECT_FALSE(ended.Has("-o"));
  EXPECT_EQ(ended.Operands(), (std::vector<std::string>{"-o", "--force", "-"}));
}

TEST(Options, MistakesAreUsageErrors) {
  for (const Arguments& args : std::vector<Arguments>{{"--bogus"}, {"-o"}, {"--force=yes"}})
    EXPECT_THROW(ParseOptions(args, kOptions), EUsageError) << args[0];
  for (const char* count : {"12x", "101", ""}) EXPECT_THROW(ParseCount("--offset", count, 100), EUsageError) << count;
  EXPECT_EQ(ParseCount("--offset", "0047616", 1000000), 47616);
  EXPECT_EQ(ParseOptions({"-9", "-1"}, kOptions).LastOf({"-1", "-9"}), "-1");  // the last level flag wins
  EXPECT_EQ(ParseOptions({"-1", "-9"}, kOptions).LastOf({"-1", "-9"}), "-9");
  EXPECT_EQ(ParseOptions({}, kOptions).LastOf({"-1", "-9"}), "");
}

TEST(CreateRequest, DefaultsAndEveryOption) {
  const TCreateRequest plain = Request({"-o", "out.exe", "dir"});
  EXPECT_EQ(plain.level, 6);
  EXPECT_TRUE(plain.config.useDirs && plain.config.overwrite && plain.config.attributes &&
              plain.config.fileDate);
  EXPECT_TRUE(plain.config.executable.empty());
  EXPECT_EQ(plain.stubKind, TCreateRequest::StubKind::kWin32);

  const TCreateRequest full = Request({"-o", "out", "--native", "--run", "setup.exe", "--params", "/S",
                                       "--no-dirs", "--ask-overwrite", "--no-attributes", "--no-date",
                                       "-3", "a", "b"});
  EXPECT_EQ(full.level, 3);
  EXPECT_EQ(full.stubKind, TCreateRequest::StubKind::kNative);
  EXPECT_EQ(full.config.executable, "setup.exe");
  EXPECT_EQ(full.config.parameters, "/S");
  EXPECT_FALSE(full.config.useDirs || full.config.overwrite || full.config.attributes ||
               full.config.fileDate);
  EXPECT_EQ(full.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Request({"-o", "out", "--x64", "a"}).stubKind, TCreateRequest::StubKind::kX64);
}

TEST(CreateRequest, RequestsThatMakeNoSense) {
  const std::vector<Arguments> rows = {{"dir"}, {"-o", "out"}, {"-o", "out", "--native", "--stub", "s", "d"},
                                       {"-o", "out", "--x64", "--native", "d"},
                                       {"-o", "out", "--params", "/S", "d"},
                                       {"-o", "out", "--run", "a\r\nExecutable=evil.exe", "d"},
                                       {"-o", "out", "--run", std::string(300, 'x'), "d"}};
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_THROW(Request(rows[i]), EUsageError) << "row " << i;
}

TEST(Commands, ExitCodesForHelpAndUsage) {
  for (auto* command : {RunCreateCommand, RunListCommand, RunTestCommand, RunExtractCommand,
                        RunRestubCommand}) {
    const TRunResult help = RunTool(command, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: sfxpack ", 0), 0u) << help.out;
    EXPECT_TRUE(help.err.empty());
    const TRunResult wrong = RunTool(command, {"--no-such-option"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.empty());
    EXPECT_NE(wrong.err.find("--help"), std::string::npos) << wrong.err;
  }
  EXPECT_EQ(RunTool(RunListCommand, {}).exitCode, 2);
  EXPECT_EQ(RunTool(RunListCommand, {"a", "b"}).exitCode, 2);
  EXPECT_EQ(RunTool(RunRestubCommand, {"a", "-o", "b"}).exitCode, 2);  // no --stub
}

}  // namespace
