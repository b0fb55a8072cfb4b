// The second attempt through the shell for programs that ask for administrator rights, driven
// by a fake starter: the real consent prompt cannot be shown in a test.
#include "host/elevation.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class FakeStarter : public ElevatedStarter {
 public:
  bool consent = true;
  Calls calls;

  bool IsPresent(const std::string&) override { return false; }
  bool StartElevated(const std::string& program, const std::string& parameters, bool hidden) override {
    calls.push_back("start [" + program + "] [" + parameters + "]" + (hidden ? " hidden" : ""));
    return consent;
  }
  int WaitForStarted() override {
    calls.push_back("wait");
    return 3010;
  }
  void ReleaseStarted() override { calls.push_back("release"); }
};

struct Case {
  unsigned long error;
  const char* commandLine;
  bool hidden, wait, consent, started;
  Calls calls;
};

}  // namespace

TEST(Elevation, OnlyElevationRequiredTriesTheShellAndAStartedProgramIsWaitedForLikeACreatedOne) {
  const Case cases[] = {
      {2, "C:\\T\\setup.exe", false, true, true, false, {}},
      {5, "C:\\T\\setup.exe", false, true, true, false, {}},
      {193, "C:\\T\\setup.exe", false, true, true, false, {}},
      {1223, "C:\\T\\setup.exe", false, true, true, false, {}},
      {kErrorElevationRequired, "\"C:\\My Temp\\setup.exe\" /q /log x", false, true, true, true,
       {"start [C:\\My Temp\\setup.exe] [/q /log x]", "wait", "release"}},
      {kErrorElevationRequired, "C:\\T\\a.exe", true, false, true, true, {"start [C:\\T\\a.exe] [] hidden", "release"}},
      // Refused consent is a failure to start: no wait for what never started.
      {kErrorElevationRequired, "C:\\T\\a.exe x", false, true, false, false, {"start [C:\\T\\a.exe] [x]"}},
      {kErrorElevationRequired, "   ", false, true, true, false, {}},
  };
  for (const Case& c : cases) {
    FakeStarter starter;
    starter.consent = c.consent;
    int exitCode = -1;
    EXPECT_EQ(LaunchAfterCreateFailure(c.error, starter, c.commandLine, c.hidden, c.wait, exitCode), c.started)
        << c.commandLine;
    EXPECT_EQ(starter.calls, c.calls) << c.error << " " << c.commandLine;
    EXPECT_EQ(exitCode, c.started && c.wait ? 3010 : -1) << c.commandLine;  // the program's own code
  }
}

TEST(Elevation, SplitFollowsTheCreateProcessRule) {
  const std::set<std::string> files = {"C:\\Doc and Set\\T\\setup.exe", "C:\\Doc.exe", "C:\\Other Dir\\tool"};
  auto split = [&](const std::string& line) {
    const TProgramAndParameters s = SplitCommandLine(line, [&](const std::string& p) { return files.count(p) != 0; });
    return s.program + "|" + s.parameters;
  };
  // Shortest cut first, with ".exe" tried for a name without extension: the planted
  // C:\Doc.exe wins, exactly as it would have for CreateProcessA.
  EXPECT_EQ(split("C:\\Doc and Set\\T\\setup.exe /s"), "C:\\Doc.exe|and Set\\T\\setup.exe /s");
  EXPECT_EQ(split("C:\\Other Dir\\tool  -a\t-b"), "C:\\Other Dir\\tool|-a\t-b");
  EXPECT_EQ(split("\"C:\\Doc and Set\\T\\setup.exe\"   /s \"q r\""), "C:\\Doc and Set\\T\\setup.exe|/s \"q r\"");
  EXPECT_EQ(split("  \"C:\\x y\\unclosed /a"), "C:\\x y\\unclosed /a|");
  EXPECT_EQ(split("C:\\missing\\prog.exe /a /b"), "C:\\missing\\prog.exe|/a /b");
  EXPECT_EQ(split("C:\\alone.exe"), "C:\\alone.exe|");
  EXPECT_EQ(split(""), "|");
}
