#include "tools/sfxpack/platform/date_text.h"

#include <cmath>
#include <cstdio>

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's days_from_civil).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, long long& year, unsigned& month, unsigned& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2);
}

const long long kEpochDays = DaysFromCivil(1899, 12, 30);
// 0001-01-01 and 9999-12-31 as day counts.
const long long kFirstDay = DaysFromCivil(1, 1, 1) - kEpochDays;
const long long kLastDay = DaysFromCivil(9999, 12, 31) - kEpochDays;

}  // namespace

long double DayCountOf(int year, int month, int day, int hour, int minute, long double second) {
  const long long days = DaysFromCivil(year, static_cast<unsigned>(month),
                                       static_cast<unsigned>(day)) - kEpochDays;
  const long double time = (hour * 3600.0L + minute * 60.0L + second) / 86400.0L;
  // Before the epoch the time of day still counts forward from midnight: -1.25 is 06:00 on
  // the day before, so the fraction is taken away from a negative day number.
  return days < 0 ? static_cast<long double>(days) - time : static_cast<long double>(days) + time;
}

std::string IsoDateTimeText(long double dateTime) {
  if (!std::isfinite(dateTime) || dateTime < kFirstDay || dateTime >= kLastDay + 1) return "-";
  long long days = static_cast<long long>(std::trunc(dateTime));
  long long seconds = std::llround(std::fabs(dateTime - days) * 86400.0L);
  if (seconds >= 86400) {
    // Rounding reached midnight: the next day for positive counts, the last second otherwise.
    if (dateTime >= 0 && days < kLastDay) {
      ++days;
      seconds = 0;
    } else {
      seconds = 86399;
    }
  }
  long long year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days + kEpochDays, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", year, month, day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

bool ParseIsoDateTime(const std::string& text, long double& dateTime) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  if (text.size() != 19 || text.find_first_of("+ ") != std::string::npos ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &used) != 6 || used != 19) {
    return false;
  }
  if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  // A day past the month's end would roll into the next month; the round trip catches it.
  dateTime = DayCountOf(year, month, day, hour, minute, second);
  return IsoDateTimeText(dateTime) == text;
}

long double DayCountOfUnixTime(long long seconds) {
  return DayCountOf(1970, 1, 1, 0, 0, 0) + static_cast<long double>(seconds) / 86400.0L;
}
