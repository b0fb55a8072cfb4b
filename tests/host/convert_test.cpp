#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "host/convert.h"
#include "host/exceptions.h"
#include "host/platform.h"

namespace {

using Limits = std::numeric_limits<long double>;

// Restores the separator after a test that changes it.
struct SeparatorScope {
  explicit SeparatorScope(char separator) : saved(DecimalSeparator()) { SetDecimalSeparator(separator); }
  ~SeparatorScope() { SetDecimalSeparator(saved); }
  char saved;
};

// The conversions depend on the start-up floating-point mode, as in the program.
struct HostStarted {
  HostStarted() { InitHostServices(); }
};

class Conversions : public testing::Test {
 protected:
  HostStarted started_;
  SeparatorScope dot_{'.'};
};

// Every text must be refused with the whole text in the message.
template <typename Parse>
void ExpectRejected(Parse parse, std::initializer_list<const char*> texts, const char* kind) {
  for (const char* text : texts) {
    try {
      parse(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.Message(), std::string("'") + text + "' ist kein g\xFCltiger " + kind);
    }
  }
}

TEST_F(Conversions, ParseIntegerAndParseFloat) {
  const struct { const char* text; int32_t value; } integers[] = {
      {"000047616", 47616}, {"-0", 0}, {"$1f", 31}, {"$FFFFFFFF", -1}, {"$000000000000001", 1},
      {"-2147483648", -2147483647 - 1}, {"2147483647", 2147483647}, {"   12", 12}};
  for (const auto& row : integers) EXPECT_EQ(ParseInteger(row.text), row.value) << row.text;
  ExpectRejected(ParseInteger, {"2147483648", "-2147483649", "-$10", "1.0", "12 ", "", "+", "$", "\t12",
                                "$100000000", "99999999999999999999", "$G"}, "Integerwert");
  const struct { const char* text; long double value; } floats[] = {
      {"35000.5", 35000.5L}, {" 1e3 ", 1000.0L}, {".", 0.0L}, {"1E", 1.0L}, {"+.5e+1", 5.0L},
      {"5.", 5.0L}, {"25E-1", 2.5L}, {"1E-4999", 0.0L}, {"0.1", 0.1L}};
  for (const auto& row : floats) EXPECT_EQ(ParseFloat(row.text), row.value) << row.text;
  EXPECT_EQ(FloatText(ParseFloat("1E4000")), "1E4000");
  ExpectRejected(ParseFloat, {"INF", "NAN", "", " ", "-", "E5", "1,5", "1 2", "1e5x", "1E5000", "--1", "\t1",
                              "1E+-2", "0x10"}, "Gleitkommawert");
  SeparatorScope comma(',');
  EXPECT_EQ(ParseFloat("35000,5"), 35000.5L);
  EXPECT_THROW(ParseFloat("35000.5"), EConvertError);
}

// Fifteen significant digits; the two "exact value" rows have digits 16 to 18 of 499, where
// the 80-bit product of the value and 10^13 rounds to ...500: the digits must come from the
// exact value.
TEST_F(Conversions, FloatText) {
  const struct { long double value; const char* text; } kRows[] = {
      {1.0L / 3.0L, "0.333333333333333"}, {2.0L / 3.0L, "0.666666666666667"}, {0.0001L, "0.0001"},
      {0.00001L, "1E-5"}, {1e15L, "1E15"}, {999999999999999.9L, "1E15"}, {123456789012345.0L, "123456789012345"},
      {-0.00012345L, "-0.00012345"}, {-1.25e300L, "-1.25E300"}, {9.9999999999999999e-5L, "0.0001"},
      {-5.1831491169603149948841292e+04L, "-51831.4911696031"}, {6.151257778199274994790e+04L, "61512.5777819927"},
      {-Limits::infinity(), "INF"}, {-Limits::quiet_NaN(), "NAN"}, {-0.0L, "0"}, {Limits::denorm_min(), "0"},
      {Limits::min(), "3.36210314311209E-4932"}, {Limits::max(), "1.18973149535723E4932"}};
  for (const auto& row : kRows) EXPECT_EQ(FloatText(row.value), row.text);
  SeparatorScope comma(',');
  EXPECT_EQ(FloatText(1.5e-10L), "1,5E-10");
}

// What FloatText writes, ParseFloat reads back to the same fifteen digits, for dates (the
// values the program passes) and for values across the whole range.
TEST_F(Conversions, FloatTextReadsBackThroughParseFloat) {
  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> dates(-700000.0, 3000000.0);
  std::uniform_int_distribution<int> exponents(-4000, 4000);
  for (char separator : {'.', ','}) {
    SeparatorScope scope(separator);
    for (int i = 0; i < 4000; ++i) {
      const long double date = dates(random);
      const std::string text = FloatText(i % 2 == 0 ? date : std::ldexp(date, exponents(random)));
      EXPECT_EQ(FloatText(ParseFloat(text)), text);
    }
  }
}

TEST_F(Conversions, DateTimeToDosStamp) {
  const struct { double dateTime; uint32_t stamp; } kRows[] = {
      {29221.0, 0x00210000u},
      // 1980-01-01 23:59:59.9996 rounds to the millisecond first, then to the next day.
      {29221.0 + 86399.9996 / 86400.0, 0x00220000u},
      {29221.0 + 59.0 / 86400.0, 0x00210000u | 29u},  // the seconds field holds 59 / 2
      {29221.0 + (13 * 3600 + 47 * 60 + 30) / 86400.0, 0x00210000u | 13u << 11 | 47u << 5 | 15u},
      // 2099-12-31 is the last day accepted; 2000-02-29 exists.
      {73050.0, (119u << 9 | 12u << 5 | 31u) << 16}, {36585.0, (20u << 9 | 2u << 5 | 29u) << 16},
      // Outside 1980..2099: 1979-12-31 12:00, 2100-01-01, and far beyond.
      {29220.5, 0}, {73051.0, 0}, {-1.25, 0}, {1e300, 0}, {-1e300, 0}, {std::nan(""), 0}};
  for (const auto& row : kRows) EXPECT_EQ(DateTimeToDosStamp(row.dateTime), row.stamp) << row.dateTime;
}

}  // namespace
