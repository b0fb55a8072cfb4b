// Day counts (days since 1899-12-30, the fraction being the time of day, local time) to and
// from calendar dates, and their ISO 8601 text for listings and for `create --date`.
#pragma once

#include <string>

long double DayCountOf(int year, int month, int day, int hour, int minute, long double second);

// "2024-05-01T13:45:10"; "-" for a value no calendar holds (non-finite, before year 1 or
// after 9999). A negative day count keeps its time of day as a positive fraction, the way
// the format's day counts have always read: -1.25 is 1899-12-29T06:00:00.
std::string IsoDateTimeText(long double dateTime);

// Reads "2024-05-01T13:45:10" (the form IsoDateTimeText writes) for a date of the years 1980 to
// 2107, the range a file's DOS date stamp holds; false for anything else.
bool ParseIsoDateTime(const std::string& text, long double& dateTime);

// Seconds since 1970-01-01T00:00:00 UTC as a day count of that same UTC time.
long double DayCountOfUnixTime(long long seconds);
