#include "ui/progress_logic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

TEST(ProgressPercent, DividesFirstInExtendedPrecision) {
  EXPECT_EQ(52, ProgressPercent(53, 100));
  EXPECT_EQ(58, ProgressPercent(59, 100));
  EXPECT_EQ(33, ProgressPercent(1, 3));
  EXPECT_EQ(66, ProgressPercent(2, 3));
  EXPECT_EQ(50, ProgressPercent(50, 100));
  EXPECT_EQ(0, ProgressPercent(0, 100));
  for (int32_t total : {1, 3, 7, 100, 4096, 1000003, 0x7fffffff})
    EXPECT_EQ(100, ProgressPercent(total, total)) << total;
  EXPECT_EQ(99, ProgressPercent(0x7ffffffe, 0x7fffffff));
}

TEST(ProgressPercent, ZeroTotalGivesZero) {
  EXPECT_EQ(0, ProgressPercent(0, 0));
  EXPECT_EQ(0, ProgressPercent(5, 0));
}

TEST(BarFillWidth, ExtendedHundredthFallsShort) {
  EXPECT_EQ(0, BarFillWidth(20, 5));
  EXPECT_EQ(9, BarFillWidth(100, 10));
  EXPECT_EQ(29, BarFillWidth(300, 10));
  EXPECT_EQ(50, BarFillWidth(100, 50));
  EXPECT_EQ(0, BarFillWidth(100, 0));
  EXPECT_EQ(100, BarFillWidth(100, 100));
  EXPECT_EQ(385, BarFillWidth(385, 100));
  EXPECT_EQ(0, BarFillWidth(0, 40));
}

TEST(BarFillWidth, PercentagesOnePixelShortAtWidthHundred) {
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

TEST(BarFillWidth, NeverWiderThanTheBar) {
  EXPECT_EQ(100, BarFillWidth(100, 150));
}

TEST(CentredOrigin, TruncatesTowardZero) {
  EXPECT_EQ(50, CentredOrigin(1125, 1024));  // difference 101
  EXPECT_EQ(-2, CentredOrigin(100, 105));    // difference -5
  EXPECT_EQ(0, CentredOrigin(300, 300));
}

TEST(ShortenPath, OneStepPerCall) {
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"\\", ""},
      {"\\Windows\\Temp\\", "\\...\\Temp\\"},
      {"\\...\\Temp\\", "\\...\\"},
      {"...\\", ""},
      {"Temp\\Sub\\", "...\\Sub\\"},
      {"Temp", ""},
      {"\\\\server\\share\\x\\", "\\...\\server\\share\\x\\"},
      {"\\.a\\bcd\\e\\", "\\...\\e\\"},
      {"...\\bar\\", "...\\"},
      {".", ""},
  };
  for (const auto& [before, after] : steps) EXPECT_EQ(after, ShortenPath(before)) << before;
}

TEST(ShortenPath, UncPathReducesToMarker) {
  std::string dir = "\\\\server\\share\\x\\";
  std::vector<std::string> seen;
  while (!dir.empty() && seen.size() < 10) seen.push_back(dir = ShortenPath(dir));
  const std::vector<std::string> expected = {"\\...\\server\\share\\x\\", "\\...\\share\\x\\",
                                             "\\...\\x\\", "\\...\\", "\\", ""};
  EXPECT_EQ(expected, seen);
}

// A fake label: every character is one unit wide, and every measured text is recorded.
struct FakeLabel {
  std::vector<std::string> measured;
  TextMeasure Measure() {
    return [this](const std::string& text) {
      measured.push_back(text);
      return static_cast<int32_t>(text.size());
    };
  }
  // Every form the path takes when the label is too narrow for all of them.
  std::vector<std::string> Forms(const std::string& path) {
    measured.clear();
    const std::string last = FitPathToLabel(path, Measure(), 0);
    std::vector<std::string> forms = measured;
    forms.push_back(last);
    return forms;
  }
};

TEST(FitPathToLabel, ShortensDirectoryThenDropsDrive) {
  FakeLabel label;
  const std::vector<std::string> expected = {
      "C:\\A\\B\\C\\file.txt", "C:\\...\\B\\C\\file.txt", "C:\\...\\C\\file.txt",
      "C:\\...\\file.txt",     "...\\file.txt",           "file.txt"};
  EXPECT_EQ(expected, label.Forms("C:\\A\\B\\C\\file.txt"));
}

TEST(FitPathToLabel, DriveRelativePath) {
  FakeLabel label;
  const std::vector<std::string> expected = {"C:foo\\bar\\x.txt", "C:...\\bar\\x.txt",
                                             "C:...\\x.txt", "C:x.txt", "x.txt"};
  EXPECT_EQ(expected, label.Forms("C:foo\\bar\\x.txt"));
}

TEST(FitPathToLabel, UncPathKeepsLeadingBackslash) {
  FakeLabel label;
  const std::vector<std::string> expected = {
      "\\\\srv\\share\\f.txt", "\\...\\srv\\share\\f.txt", "\\...\\share\\f.txt",
      "\\...\\f.txt", "...\\f.txt", "f.txt"};
  EXPECT_EQ(expected, label.Forms("\\\\srv\\share\\f.txt"));
}

TEST(FitPathToLabel, NamesWithSeveralDotsStayWhole) {
  FakeLabel label;
  for (const std::string& form : label.Forms("C:\\A\\B\\setup.tar.gz")) {
    ASSERT_GE(form.size(), 12u);
    EXPECT_EQ("setup.tar.gz", form.substr(form.size() - 12)) << form;
  }
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
}

TEST(FitPathToLabel, BareFileNameIsNeverMeasured) {
  FakeLabel label;
  EXPECT_EQ("a-very-long-file-name.txt", FitPathToLabel("a-very-long-file-name.txt", label.Measure(), 1));
  EXPECT_TRUE(label.measured.empty());
  EXPECT_EQ((std::vector<std::string>{"C:x.txt", "x.txt"}), label.Forms("C:x.txt"));
}

TEST(TextTooWide, OnlyStrictlyWider) {
  const TextMeasure width = [](const std::string& text) { return static_cast<int32_t>(text.size()) * 3; };
  EXPECT_FALSE(TextTooWide(width, 9, "abc"));
  EXPECT_TRUE(TextTooWide(width, 8, "abc"));
}

}  // namespace
