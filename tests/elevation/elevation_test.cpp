// The second attempt through the shell for programs that ask for administrator rights, driven
// by a fake starter: the real consent prompt cannot be shown in a test.
#include "host/elevation.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

class FakeStarter : public ElevatedStarter {
 public:
  std::set<std::string> files;
  bool consent = true;
  std::vector<std::string> calls;

  bool IsPresent(const std::string& path) override { return files.count(path) != 0; }
  bool StartElevated(const std::string& program, const std::string& parameters,
                     bool hidden) override {
    calls.push_back("start [" + program + "] [" + parameters + "]" + (hidden ? " hidden" : ""));
    return consent;
  }
  void WaitForStarted() override { calls.push_back("wait"); }
  void ReleaseStarted() override { calls.push_back("release"); }
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(Elevation, OnlyElevationRequiredTriesTheShell) {
  for (unsigned long error : {2ul, 5ul, 193ul, 1223ul}) {
    FakeStarter starter;
    EXPECT_FALSE(LaunchAfterCreateFailure(error, starter, "C:\\T\\setup.exe", false, true));
    EXPECT_TRUE(starter.calls.empty()) << error;
  }
}

TEST(Elevation, StartedProgramIsWaitedForLikeACreatedOne) {
  FakeStarter starter;
  EXPECT_TRUE(LaunchAfterCreateFailure(kErrorElevationRequired, starter,
                                       "\"C:\\My Temp\\setup.exe\" /q /log x", false, true));
  EXPECT_EQ(starter.calls, (Calls{"start [C:\\My Temp\\setup.exe] [/q /log x]", "wait", "release"}));

  FakeStarter noWait;
  EXPECT_TRUE(LaunchAfterCreateFailure(kErrorElevationRequired, noWait, "C:\\T\\a.exe", true, false));
  EXPECT_EQ(noWait.calls, (Calls{"start [C:\\T\\a.exe] [] hidden", "release"}));
}

TEST(Elevation, RefusedConsentIsAFailureToStart) {
  FakeStarter starter;
  starter.consent = false;
  EXPECT_FALSE(LaunchAfterCreateFailure(kErrorElevationRequired, starter, "C:\\T\\a.exe x", false, true));
  EXPECT_EQ(starter.calls, (Calls{"start [C:\\T\\a.exe] [x]"})) << "no wait for what never started";

  FakeStarter empty;
  EXPECT_FALSE(LaunchAfterCreateFailure(kErrorElevationRequired, empty, "   ", false, true));
  EXPECT_TRUE(empty.calls.empty());
}

TEST(Elevation, SplitFollowsTheCreateProcessRule) {
  const std::set<std::string> files = {"C:\\Doc and Set\\T\\setup.exe", "C:\\Doc.exe",
                                       "C:\\Other Dir\\tool"};
  auto present = [&](const std::string& p) { return files.count(p) != 0; };
  auto split = [&](const std::string& line) {
    const TProgramAndParameters s = SplitCommandLine(line, present);
    return s.program + "|" + s.parameters;
  };
  // Shortest cut first, with ".exe" tried for a name without extension: the planted
  // C:\Doc.exe wins, exactly as it would have for CreateProcessA.
  EXPECT_EQ(split("C:\\Doc and Set\\T\\setup.exe /s"), "C:\\Doc.exe|and Set\\T\\setup.exe /s");
  EXPECT_EQ(split("C:\\Other Dir\\tool  -a\t-b"), "C:\\Other Dir\\tool|-a\t-b");
  EXPECT_EQ(split("\"C:\\Doc and Set\\T\\setup.exe\"   /s \"q r\""),
            "C:\\Doc and Set\\T\\setup.exe|/s \"q r\"");
  EXPECT_EQ(split("  \"C:\\x y\\unclosed /a"), "C:\\x y\\unclosed /a|");
  EXPECT_EQ(split("C:\\missing\\prog.exe /a /b"), "C:\\missing\\prog.exe|/a /b");
  EXPECT_EQ(split("C:\\alone.exe"), "C:\\alone.exe|");
  EXPECT_EQ(split(""), "|");
}
