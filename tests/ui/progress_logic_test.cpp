#include "ui/progress_logic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

// The percentage divides first in extended precision, so 53 of 100 is 52.
TEST(ProgressPercent, DividesFirstInExtendedPrecision) {
  const struct { int32_t done, total, percent; } kRows[] = {
      {53, 100, 52}, {59, 100, 58}, {1, 3, 33}, {2, 3, 66}, {50, 100, 50}, {0, 100, 0},
      {0x7ffffffe, 0x7fffffff, 99}, {0, 0, 0}, {5, 0, 0}};
  for (const auto& row : kRows) EXPECT_EQ(row.percent, ProgressPercent(row.done, row.total)) << row.done;
  for (int32_t total : {1, 3, 7, 100, 4096, 1000003, 0x7fffffff})
    EXPECT_EQ(100, ProgressPercent(total, total)) << total;
}

// The extended hundredth falls short: some fills are one pixel narrow, never wider than the bar.
TEST(BarFillWidth, ExtendedHundredthFallsShort) {
  const struct { int32_t width, percent, fill; } kRows[] = {
      {20, 5, 0}, {100, 10, 9}, {300, 10, 29}, {100, 50, 50}, {100, 0, 0}, {100, 100, 100},
      {385, 100, 385}, {0, 40, 0}, {100, 150, 100}};
  for (const auto& row : kRows) EXPECT_EQ(row.fill, BarFillWidth(row.width, row.percent)) << row.width;
  const std::set<int32_t> expected = {5,  10, 15, 20, 23, 27, 30, 40, 43, 46, 49,
                                      53, 54, 59, 60, 67, 73, 80, 86, 92, 98, 99};
  std::set<int32_t> shortOnes;
  for (int32_t percent = 0; percent <= 100; ++percent) {
    const int32_t fill = BarFillWidth(100, percent);
    ASSERT_TRUE(fill == percent || fill == percent - 1) << percent;
    if (fill == percent - 1) shortOnes.insert(percent);
  }
  EXPECT_EQ(expected, shortOnes);
}

TEST(CentredOrigin, TruncatesTowardZero) {
  EXPECT_EQ(50, CentredOrigin(1125, 1024));  // difference 101
  EXPECT_EQ(-2, CentredOrigin(100, 105));    // difference -5
  EXPECT_EQ(0, CentredOrigin(300, 300));
}

TEST(ShortenPath, OneStepPerCallDownToNothing) {
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"\\", ""}, {"\\Windows\\Temp\\", "\\...\\Temp\\"}, {"\\...\\Temp\\", "\\...\\"},
      {"...\\", ""}, {"Temp\\Sub\\", "...\\Sub\\"}, {"Temp", ""},
      {"\\.a\\bcd\\e\\", "\\...\\e\\"}, {"...\\bar\\", "...\\"}, {".", ""}};
  for (const auto& [before, after] : steps) EXPECT_EQ(after, ShortenPath(before)) << before;
  std::string dir = "\\\\server\\share\\x\\";  // a UNC path keeps a leading "\"
  Texts seen;
  while (!dir.empty() && seen.size() < 10) seen.push_back(dir = ShortenPath(dir));
  EXPECT_EQ((Texts{"\\...\\server\\share\\x\\", "\\...\\share\\x\\", "\\...\\x\\", "\\...\\", "\\",
                   ""}),
            seen);
}

// A fake label: every character is one unit wide, and every measured text is recorded.
struct FakeLabel {
  Texts measured;
  TextMeasure Measure() {
    return [this](const std::string& text) {
      measured.push_back(text);
      return static_cast<int32_t>(text.size());
    };
  }
  // Every form the path takes when the label is too narrow for all of them.
  Texts Forms(const std::string& path) {
    measured.clear();
    const std::string last = FitPathToLabel(path, Measure(), 0);
    Texts forms = measured;
    forms.push_back(last);
    return forms;
  }
};

// The directory shortens first, then the drive goes; the name, dots and all, stays whole.
TEST(FitPathToLabel, ShortensDirectoryThenDropsDrive) {
  const struct { std::string path; Texts forms; } kRows[] = {
      {"C:\\A\\B\\C\\file.txt",
       {"C:\\A\\B\\C\\file.txt", "C:\\...\\B\\C\\file.txt", "C:\\...\\C\\file.txt",
        "C:\\...\\file.txt", "...\\file.txt", "file.txt"}},
      {"C:foo\\bar\\x.txt",
       {"C:foo\\bar\\x.txt", "C:...\\bar\\x.txt", "C:...\\x.txt", "C:x.txt", "x.txt"}},
      {"\\\\srv\\share\\f.txt",
       {"\\\\srv\\share\\f.txt", "\\...\\srv\\share\\f.txt", "\\...\\share\\f.txt",
        "\\...\\f.txt", "...\\f.txt", "f.txt"}},
      {"C:\\A\\B\\setup.tar.gz",
       {"C:\\A\\B\\setup.tar.gz", "C:\\...\\B\\setup.tar.gz", "C:\\...\\setup.tar.gz",
        "...\\setup.tar.gz", "setup.tar.gz"}},
      {"C:x.txt", {"C:x.txt", "x.txt"}}};
  FakeLabel label;
  for (const auto& row : kRows) EXPECT_EQ(row.forms, label.Forms(row.path)) << row.path;
}

TEST(FitPathToLabel, StopsAtTheFirstFormThatFits) {
  FakeLabel label;
  const std::string path = "C:\\Alpha\\Beta\\Gamma\\file.txt";
  EXPECT_EQ(path, FitPathToLabel(path, label.Measure(), static_cast<int32_t>(path.size())));
  EXPECT_EQ(1u, label.measured.size());
  label.measured.clear();
  // "C:\...\Gamma\file.txt" is 21 wide: exactly as wide as the label fits.
  EXPECT_EQ("C:\\...\\Gamma\\file.txt", FitPathToLabel(path, label.Measure(), 21));
  EXPECT_EQ(3u, label.measured.size());
  label.measured.clear();
  EXPECT_EQ("long-file-name.txt", FitPathToLabel("long-file-name.txt", label.Measure(), 1));
  EXPECT_TRUE(label.measured.empty());  // a bare file name is never measured
}

TEST(TextTooWide, OnlyStrictlyWider) {
  const TextMeasure width = [](const std::string& text) { return static_cast<int32_t>(text.size()) * 3; };
  EXPECT_FALSE(TextTooWide(width, 9, "abc"));
  EXPECT_TRUE(TextTooWide(width, 8, "abc"));
}

}  // namespace
