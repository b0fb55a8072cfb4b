#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "host/convert.h"
#include "host/exceptions.h"

namespace {

// Restores "." after a test that changes the separator.
class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) : saved_(DecimalSeparator()) {
    SetDecimalSeparator(separator);
  }
  ~SeparatorScope() { SetDecimalSeparator(saved_); }

 private:
  char saved_;
};

class Conversions : public testing::Test {
 protected:
  SeparatorScope dot_{'.'};
};

TEST_F(Conversions, LongDoubleArithmeticCarriesSixtyFourBits) {
  volatile long double one = 1.0L;
  volatile long double smallest = std::ldexp(1.0L, -63);
  EXPECT_NE(one + smallest, one);
  EXPECT_EQ(std::numeric_limits<long double>::digits, 64);
  EXPECT_EQ(ParseFloat("0.1"), 0.1L);
}

TEST_F(Conversions, ParseIntegerAcceptsDecimalAndHexForms) {
  EXPECT_EQ(ParseInteger("000047616"), 47616);
  EXPECT_EQ(ParseInteger("+5"), 5);
  EXPECT_EQ(ParseInteger("-0"), 0);
  EXPECT_EQ(ParseInteger("$1f"), 31);
  EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("$000000000000001"), 1);
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("   12"), 12);
}

TEST_F(Conversions, ParseIntegerRejectsWithTheWholeTextInTheMessage) {
  for (const char* text : {"2147483648", "-2147483649", "-$10", "1.0", "12 ", "", "+", "-", "$",
                           "\t12", "$100000000", "1a", "99999999999999999999", "$G"}) {
    try {
      ParseInteger(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.Message(),
                std::string("'") + text + "' ist kein g\xFCltiger Integerwert");
    }
  }
}

TEST_F(Conversions, ParseFloatReadsMantissaSeparatorAndExponent) {
  EXPECT_EQ(ParseFloat("35000.5"), 35000.5L);
  EXPECT_EQ(ParseFloat(" 1e3 "), 1000.0L);
  EXPECT_EQ(ParseFloat("."), 0.0L);
  EXPECT_EQ(ParseFloat("1E"), 1.0L);
  EXPECT_EQ(ParseFloat("-2.5"), -2.5L);
  EXPECT_EQ(ParseFloat("+.5e+1"), 5.0L);
  EXPECT_EQ(ParseFloat("5."), 5.0L);
  EXPECT_EQ(ParseFloat("25E-1"), 2.5L);
  EXPECT_EQ(FloatText(ParseFloat("1E4000")), "1E4000");
  EXPECT_EQ(ParseFloat("1E-4999"), 0.0L);
}

TEST_F(Conversions, ParseFloatFollowsTheDecimalSeparator) {
  SeparatorScope comma(',');
  EXPECT_EQ(ParseFloat("35000,5"), 35000.5L);
  EXPECT_EQ(ParseFloat(","), 0.0L);
  EXPECT_THROW(ParseFloat("35000.5"), EConvertError);
  EXPECT_THROW(ParseFloat("1.000,5"), EConvertError);
}

TEST_F(Conversions, ParseFloatRejectsWithTheWholeTextInTheMessage) {
  for (const char* text : {"INF", "NAN", "", " ", "-", "E5", "1,5", "1 2", "1e5x", "1E500000",
                           "1E5000", "--1", "\t1", "1E+-2", "0x10"}) {
    try {
      ParseFloat(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.Message(),
                std::string("'") + text + "' ist kein g\xFCltiger Gleitkommawert");
    }
  }
}

TEST_F(Conversions, FloatTextWritesFifteenSignificantDigits) {
  EXPECT_EQ(FloatText(35000.5L), "35000.5");
  EXPECT_EQ(FloatText(1.0L / 3.0L), "0.333333333333333");
  EXPECT_EQ(FloatText(2.0L / 3.0L), "0.666666666666667");
  EXPECT_EQ(FloatText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FloatText(0.0001L), "0.0001");
  EXPECT_EQ(FloatText(0.00001L), "1E-5");
  EXPECT_EQ(FloatText(1e15L), "1E15");
  EXPECT_EQ(FloatText(999999999999999.9L), "1E15");
  EXPECT_EQ(FloatText(123456789012345.0L), "123456789012345");
  EXPECT_EQ(FloatText(-2.5L), "-2.5");
  EXPECT_EQ(FloatText(100.0L), "100");
  EXPECT_EQ(FloatText(0.5L), "0.5");
  EXPECT_EQ(FloatText(-0.00012345L), "-0.00012345");
  EXPECT_EQ(FloatText(1.5e-10L), "1.5E-10");
  EXPECT_EQ(FloatText(-1.25e300L), "-1.25E300");
  EXPECT_EQ(FloatText(9.9999999999999999e-5L), "0.0001");
}

// Digits 16 to 18 are 499 here, but the 80-bit product of the value and 10^13 rounds to
// ...499.5 and then to ...500: the eighteen digits must come from the exact value.
TEST_F(Conversions, FloatTextRoundsTheExactValueToEighteenDigits) {
  EXPECT_EQ(FloatText(-5.1831491169603149948841292e+04L), "-51831.4911696031");
  EXPECT_EQ(FloatText(6.151257778199274994790e+04L), "61512.5777819927");
}

TEST_F(Conversions, FloatTextSpecialValues) {
  EXPECT_EQ(FloatText(std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(FloatText(-std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(FloatText(std::numeric_limits<long double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatText(-std::numeric_limits<long double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatText(0.0L), "0");
  EXPECT_EQ(FloatText(-0.0L), "0");
  EXPECT_EQ(FloatText(std::numeric_limits<long double>::denorm_min()), "0");
  EXPECT_EQ(FloatText(std::numeric_limits<long double>::min()), "3.36210314311209E-4932");
  EXPECT_EQ(FloatText(std::numeric_limits<long double>::max()), "1.18973149535723E4932");
}

TEST_F(Conversions, FloatTextUsesTheDecimalSeparator) {
  SeparatorScope comma(',');
  EXPECT_EQ(FloatText(35000.5L), "35000,5");
  EXPECT_EQ(FloatText(1.5e-10L), "1,5E-10");
  EXPECT_EQ(FloatText(0.0001L), "0,0001");
}

// What FloatText writes, ParseFloat reads back to the same fifteen digits, for dates
// (the values the program passes) and for values across the whole range.
TEST_F(Conversions, FloatTextReadsBackThroughParseFloat) {
  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> dates(-700000.0, 3000000.0);
  std::uniform_int_distribution<int> exponents(-4000, 4000);
  for (char separator : {'.', ','}) {
    SeparatorScope scope(separator);
    for (int i = 0; i < 4000; ++i) {
      const long double value = i % 2 == 0
          ? static_cast<long double>(dates(random))
          : std::ldexp(static_cast<long double>(dates(random)), exponents(random));
      const std::string text = FloatText(value);
      EXPECT_EQ(FloatText(ParseFloat(text)), text);
    }
  }
}

TEST_F(Conversions, DateTimeToDosStampPacksLocalDateAndTime) {
  EXPECT_EQ(DateTimeToDosStamp(29221.0), 0x00210000u);
  EXPECT_EQ(DateTimeToDosStamp(35000.5), 0x1F5C6000u);
  // 1980-01-01 23:59:59.9996 rounds to the millisecond first, then to the next day.
  EXPECT_EQ(DateTimeToDosStamp(29221.0 + 86399.9996 / 86400.0), 0x00220000u);
  // 1980-01-01 00:00:59: the seconds field holds 59 / 2.
  EXPECT_EQ(DateTimeToDosStamp(29221.0 + 59.0 / 86400.0) & 0x1F, 29u);
  EXPECT_EQ(DateTimeToDosStamp(29221.0 + (13 * 3600 + 47 * 60 + 30) / 86400.0),
            0x00210000u | 13u << 11 | 47u << 5 | 15u);
  // 2099-12-31 is the last day accepted; 2000-02-29 exists.
  EXPECT_EQ(DateTimeToDosStamp(73050.0), (119u << 9 | 12u << 5 | 31u) << 16);
  EXPECT_EQ(DateTimeToDosStamp(36585.0), (20u << 9 | 2u << 5 | 29u) << 16);
}

TEST_F(Conversions, DateTimeToDosStampIsZeroOutsideItsYears) {
  EXPECT_EQ(DateTimeToDosStamp(29220.5), 0u);   // 1979-12-31 12:00
  EXPECT_EQ(DateTimeToDosStamp(28856.0), 0u);   // 1979-01-01
  EXPECT_EQ(DateTimeToDosStamp(73051.0), 0u);   // 2100-01-01
  EXPECT_EQ(DateTimeToDosStamp(73200.25), 0u);  // in 2100
  EXPECT_EQ(DateTimeToDosStamp(0.0), 0u);
  EXPECT_EQ(DateTimeToDosStamp(-1.25), 0u);
  EXPECT_EQ(DateTimeToDosStamp(1e300), 0u);
  EXPECT_EQ(DateTimeToDosStamp(-1e300), 0u);
  EXPECT_EQ(DateTimeToDosStamp(std::numeric_limits<double>::quiet_NaN()), 0u);
}

TEST_F(Conversions, UpperAsciiChangesOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("az\xE4Z09_\xFC"), "AZ\xE4Z09_\xFC");
  EXPECT_EQ(UpperAscii(""), "");
}

TEST_F(Conversions, TruncateRealCutsTowardZero) {
  EXPECT_EQ(TruncateReal(2.9L), 2);
  EXPECT_EQ(TruncateReal(-2.9L), -2);
  EXPECT_EQ(TruncateReal(-0.5L), 0);
  EXPECT_EQ(TruncateReal(2147483647.9L), 2147483647);
  EXPECT_EQ(TruncateReal(-2147483648.9L), -2147483647 - 1);
}

TEST_F(Conversions, TruncateRealRaisesOutsideThirtyTwoBits) {
  for (long double value : {2147483648.0L, -2147483649.0L, 1e30L,
                            std::numeric_limits<long double>::infinity(),
                            std::numeric_limits<long double>::quiet_NaN()}) {
    try {
      TruncateReal(value);
      ADD_FAILURE() << "accepted " << static_cast<double>(value);
    } catch (const EInvalidOp& failure) {
      EXPECT_EQ(failure.Message(), "Fehler bei Gleitkomma-Operation");
    }
  }
}

TEST_F(Conversions, CopyToBufferCutsAt255) {
  char buffer[300];
  CopyToBuffer(buffer, std::string(400, 'x'));
  EXPECT_EQ(std::string(buffer), std::string(255, 'x'));
  CopyToBuffer(buffer, "abc");
  EXPECT_EQ(std::string(buffer), "abc");
}

}  // namespace
