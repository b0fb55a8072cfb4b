// Day counts as listing dates.
#include <gtest/gtest.h>

#include <limits>

#include "tools/sfxpack/date_text.h"

namespace {

TEST(DateText, DayCountsAsIsoText) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  const struct { long double days; const char* text; } rows[] = {
      {0, "1899-12-30T00:00:00"}, {2, "1900-01-01T00:00:00"}, {45000.5L, "2023-03-15T12:00:00"},
      {-1.25L, "1899-12-29T06:00:00"}, {36526.999999999L, "2000-01-02T00:00:00"},  // rounds up
      {nan, "-"}, {inf, "-"}, {1e12L, "-"}, {-1e12L, "-"}};
  for (const auto& row : rows) EXPECT_EQ(IsoDateTimeText(row.days), row.text) << static_cast<double>(row.days);
}

TEST(DateText, CalendarRoundTrip) {
  EXPECT_EQ(DayCountOf(1899, 12, 30, 0, 0, 0), 0);
  EXPECT_EQ(DayCountOf(2024, 2, 29, 18, 0, 0), 45351.75L);
  EXPECT_EQ(DayCountOf(1899, 12, 29, 6, 0, 0), -1.25L);
  for (int year : {1601, 1980, 2000, 2038, 2107, 9999}) {
    for (int month : {1, 2, 12}) {
      const long double count = DayCountOf(year, month, 28, 23, 59, 58);
      char expected[32];
      std::snprintf(expected, sizeof expected, "%04d-%02d-28T23:59:58", year, month);
      EXPECT_EQ(IsoDateTimeText(count), expected);
    }
  }
}

}  // namespace
