#include "ui/progress_logic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

// The percentage divides first in extended precision (53 of 100 is 52); the bar's fill takes
// an extended hundredth that falls short by a pixel for some percentages, never wider; the
// window's origin truncates toward zero.
TEST(ProgressNumbers, PercentFillAndOrigin) {
  const struct { int32_t done, total, percent; } percents[] = {
      {53, 100, 52}, {59, 100, 58}, {2, 3, 66}, {0x7ffffffe, 0x7fffffff, 99}, {0, 0, 0}, {5, 0, 0}};
  for (const auto& row : percents) EXPECT_EQ(row.percent, ProgressPercent(row.done, row.total)) << row.done;
  for (int32_t total : {1, 3, 7, 1000003, 0x7fffffff}) EXPECT_EQ(100, ProgressPercent(total, total)) << total;
  const struct { int32_t width, percent, fill; } fills[] = {
      {20, 5, 0}, {300, 10, 29}, {385, 100, 385}, {0, 40, 0}, {100, 150, 100}};
  for (const auto& row : fills) EXPECT_EQ(row.fill, BarFillWidth(row.width, row.percent)) << row.width;
  std::set<int32_t> shortOnes;
  for (int32_t percent = 0; percent <= 100; ++percent) {
    const int32_t fill = BarFillWidth(100, percent);
    ASSERT_TRUE(fill == percent || fill == percent - 1) << percent;
    if (fill == percent - 1) shortOnes.insert(percent);
  }
  EXPECT_EQ((std::set<int32_t>{5, 10, 15, 20, 23, 27, 30, 40, 43, 46, 49, 53, 54, 59, 60, 67, 73, 80, 86, 92, 98, 99}),
            shortOnes);
  EXPECT_EQ(50, CentredOrigin(1125, 1024));
  EXPECT_EQ(-2, CentredOrigin(100, 105));
}

// The directory shortens one folder at a time (a UNC path keeps a leading "\"), then the drive
// goes; the name, dots and all, stays whole. The first form that fits ends it, and a bare name
// is never measured.
TEST(FitPathToLabel, ShortensDirectoryThenDropsDrive) {
  const struct { std::string path; Texts forms; } kRows[] = {
      {"C:\\A\\B\\setup.tar.gz",
       {"C:\\A\\B\\setup.tar.gz", "C:\\...\\B\\setup.tar.gz", "C:\\...\\setup.tar.gz", "...\\setup.tar.gz",
        "setup.tar.gz"}},
      {"C:foo\\bar\\x.txt", {"C:foo\\bar\\x.txt", "C:...\\bar\\x.txt", "C:...\\x.txt", "C:x.txt", "x.txt"}},
      {"\\\\srv\\share\\f.txt",
       {"\\\\srv\\share\\f.txt", "\\...\\srv\\share\\f.txt", "\\...\\share\\f.txt", "\\...\\f.txt", "...\\f.txt",
        "f.txt"}}};
  Texts measured;  // every character is one unit wide
  const auto measure = [&measured](const std::string& text) {
    measured.push_back(text);
    return static_cast<int32_t>(text.size());
  };
  for (const auto& row : kRows) {
    measured.clear();
    measured.push_back(FitPathToLabel(row.path, measure, 0));  // after the forms it measured
    EXPECT_EQ(row.forms, measured) << row.path;
  }
  measured.clear();
  EXPECT_EQ("C:\\...\\Gamma\\file.txt", FitPathToLabel("C:\\Alpha\\Beta\\Gamma\\file.txt", measure, 21));
  EXPECT_EQ(3u, measured.size());
  measured.clear();
  EXPECT_EQ("long-file-name.txt", FitPathToLabel("long-file-name.txt", measure, 1));
  EXPECT_TRUE(measured.empty());
}

// A run's first state, then one an interval after the last drawn (tick wrap too); the newest held back once.
TEST(ProgressPacer, DrawsOneStatePerIntervalAndKeepsTheNewest) {
  TProgressPacer pacer;
  const uint32_t start = 0xfffffff8u, interval = kRepaintIntervalMs;
  EXPECT_TRUE(pacer.Report("a", 1, 9, start, true));
  EXPECT_FALSE(pacer.Report("b", 2, 9, start + 1, false) || pacer.Report("c", 3, 9, start + interval - 1, false));
  const TProgressState* held = pacer.TakeHeldBack();
  EXPECT_TRUE(held && held->path == "c" && held->done == 3);
  EXPECT_EQ(nullptr, pacer.TakeHeldBack());
  EXPECT_TRUE(pacer.Report("d", 4, 9, start + interval, false) && pacer.Report("e", 5, 9, start + interval + 1, true));
}

}  // namespace
