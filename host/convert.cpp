#include "host/convert.h"

#include <cmath>
#include <cstring>

#include "host/exceptions.h"

namespace {

char gDecimalSeparator = '.';

[[noreturn]] void RaiseInvalidInteger(const std::string& text) {
  throw EConvertError("'" + text + "' ist kein g\xFCltiger Integerwert");
}

[[noreturn]] void RaiseInvalidFloat(const std::string& text) {
  throw EConvertError("'" + text + "' ist kein g\xFCltiger Gleitkommawert");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

size_t SkipBlanks(const std::string& text, size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// Ten to the power n (n >= 0) by squaring. Powers up to 10^27 are exact in the 64-bit
// mantissa, which covers every scaling that ordinary dates and sizes need.
long double PowerOfTen(unsigned n) {
  long double result = 1.0L;
  long double square = 10.0L;
  while (n != 0) {
    if (n & 1) result *= square;
    n >>= 1;
    if (n != 0) square *= square;
  }
  return result;
}

// value × 10^exponent, dividing for negative exponents so that no inexact reciprocal enters.
// Large scalings go in steps so that a representable result is not lost to an
// intermediate overflow.
long double ScaleByPowerOfTen(long double value, int exponent) {
  constexpr int kStep = 4000;
  while (exponent > kStep) {
    value *= PowerOfTen(kStep);
    exponent -= kStep;
  }
  while (exponent < -kStep) {
    value /= PowerOfTen(kStep);
    exponent += kStep;
  }
  return exponent >= 0 ? value * PowerOfTen(exponent) : value / PowerOfTen(-exponent);
}

}  // namespace

char DecimalSeparator() { return gDecimalSeparator; }
void SetDecimalSeparator(char separator) { gDecimalSeparator = separator; }

int32_t ParseInteger(const std::string& text) {
  size_t at = SkipBlanks(text, 0);
  uint32_t value = 0;
  if (at < text.size() && text[at] == '$') {
    ++at;
    const size_t first = at;
    for (; at < text.size(); ++at) {
      const int digit = HexDigitValue(text[at]);
      if (digit < 0 || value > 0x0FFFFFFFu) RaiseInvalidInteger(text);
      value = (value << 4) | static_cast<uint32_t>(digit);
    }
    if (at == first) RaiseInvalidInteger(text);
    return static_cast<int32_t>(value);
  }
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const size_t first = at;
  const uint32_t limit = negative ? 2147483648u : 2147483647u;
  for (; at < text.size(); ++at) {
    if (!IsDigit(text[at])) RaiseInvalidInteger(text);
    const uint32_t digit = static_cast<uint32_t>(text[at] - '0');
    if (value > (limit - digit) / 10) RaiseInvalidInteger(text);
    value = value * 10 + digit;
  }
  if (at == first) RaiseInvalidInteger(text);
  return negative ? static_cast<int32_t>(0u - value) : static_cast<int32_t>(value);
}

std::string IntegerText(int32_t value) { return std::to_string(value); }

long double ParseFloat(const std::string& text) {
  size_t at = SkipBlanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';

  long double mantissa = 0.0L;
  bool sawMantissa = false;
  int fractionDigits = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    mantissa = mantissa * 10.0L + (text[at] - '0');
    sawMantissa = true;
  }
  if (at < text.size() && text[at] == gDecimalSeparator) {
    sawMantissa = true;
    for (++at; at < text.size() && IsDigit(text[at]); ++at) {
      mantissa = mantissa * 10.0L + (text[at] - '0');
      ++fractionDigits;
    }
  }
  if (!sawMantissa) RaiseInvalidFloat(text);

  int exponent = 0;
  if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
    ++at;
    bool negativeExponent = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
      negativeExponent = text[at++] == '-';
    }
    // Digits beyond this bound stay unread and make the text invalid below.
    for (; at < text.size() && IsDigit(text[at]) && exponent < 500; ++at) {
      exponent = exponent * 10 + (text[at] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  at = SkipBlanks(text, at);
  if (at != text.size()) RaiseInvalidFloat(text);

  if (!std::isfinite(mantissa)) RaiseInvalidFloat(text);
  long double value = ScaleByPowerOfTen(mantissa, exponent - fractionDigits);
  if (!std::isfinite(value)) RaiseInvalidFloat(text);
  return negative ? -value : value;
}

namespace {

constexpr uint64_t kTenTo15 = 1000000000000000ull;
constexpr uint64_t kTenTo17 = 100000000000000000ull;
constexpr uint64_t kTenTo18 = 1000000000000000000ull;

// Powers of ten up to this one are exact in the 64-bit mantissa (5^27 < 2^63).
constexpr int kLargestExactPowerOfTen = 27;

// Splits x into a high half of 32 significant bits and the exact remainder (Veltkamp).
void SplitMantissa(long double x, long double& high, long double& low) {
  const long double spread = 4294967297.0L * x;  // 2^32 + 1
  high = spread - (spread - x);
  low = x - high;
}

// The product a × b as its rounded value and the exact rounding error (Dekker), which the
// 64-bit precision and rounding to nearest set at start-up make exact.
void MultiplyExactly(long double a, long double b, long double& product, long double& error) {
  long double aHigh, aLow, bHigh, bLow;
  SplitMantissa(a, aHigh, aLow);
  SplitMantissa(b, bHigh, bLow);
  product = a * b;
  error = ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// v / d, and v % d in `remainder`, for v below 2^63. On i686 a 64-bit division is a library
// routine of a few hundred bytes. The floating-point quotient is exact or one off at 64-bit
// precision, and may be further off at 53-bit; the remainder shows by how much.
uint64_t DivideWithRemainder(uint64_t v, uint32_t d, uint32_t& remainder) {
  uint64_t q = static_cast<uint64_t>(static_cast<int64_t>(static_cast<long double>(v) / d));
  int64_t r = static_cast<int64_t>(v - q * d);
  while (r < 0) {
    --q;
    r += d;
  }
  while (r >= static_cast<int64_t>(d)) {
    ++q;
    r -= d;
  }
  remainder = static_cast<uint32_t>(r);
  return q;
}

// Rounds value + error (|error| at most half a unit in value's last place) to the nearest
// integer, ties to even.
uint64_t RoundSumToInteger(long double value, long double error) {
  uint64_t whole = static_cast<uint64_t>(value);
  const long double toHalf = 0.5L - (value - static_cast<long double>(whole));
  if (error > toHalf || (error == toHalf && (whole & 1))) ++whole;
  return whole;
}

// The magnitude as eighteen significant digits: |value| ≈ 0.d1…d18 × 10^exponent, rounded to
// nearest. Where the scaling power of ten is exact, the product's rounding error is kept so
// that the digits are those of the exact value; elsewhere they are those of the 80-bit product.
uint64_t EighteenDigits(long double magnitude, int& exponent) {
  int binaryExponent = 0;
  std::frexp(magnitude, &binaryExponent);
  // log10(2) estimate of the decimal exponent, corrected below when it is one off.
  exponent = static_cast<int>(std::floor((binaryExponent - 1) * 0.30102999566398120L)) + 1;
  uint64_t digits = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int scale = 18 - exponent;
    long double scaled;
    long double error = 0.0L;
    if (scale >= 0 && scale <= kLargestExactPowerOfTen) {
      MultiplyExactly(magnitude, PowerOfTen(static_cast<unsigned>(scale)), scaled, error);
    } else {
      scaled = ScaleByPowerOfTen(magnitude, scale);
    }
    if (scaled < static_cast<long double>(kTenTo17)) {
      --exponent;
      continue;
    }
    if (scaled >= static_cast<long double>(kTenTo18)) {
      ++exponent;
      continue;
    }
    digits = RoundSumToInteger(scaled, error);
    break;
  }
  if (digits >= kTenTo18) {
    uint32_t dropped;
    digits = DivideWithRemainder(digits, 10, dropped);
    ++exponent;
  }
  return digits;
}

// Rounds eighteen digits to fifteen and drops trailing zeros; returns the digit text.
std::string FifteenDigits(uint64_t eighteen, int& exponent) {
  uint32_t lastThree;
  uint64_t fifteen = DivideWithRemainder(eighteen, 1000, lastThree);
  if (lastThree >= 500) ++fifteen;
  if (fifteen >= kTenTo15) {  // rounded up to 10^15
    fifteen = kTenTo15 / 10;
    ++exponent;
  }
  // In two halves of at most nine digits, each within 32 bits.
  uint32_t low;
  const uint32_t high = static_cast<uint32_t>(DivideWithRemainder(fifteen, 1000000000, low));
  std::string digits = std::to_string(low);
  if (high != 0) digits = std::to_string(high) + std::string(9 - digits.size(), '0') + digits;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return digits;
}

}  // namespace

std::string FloatText(long double value) {
  if (std::isinf(value)) return "INF";
  if (std::isnan(value)) return "NAN";
  if (std::fpclassify(value) != FP_NORMAL) return "0";
  int exponent = 0;
  const uint64_t eighteen = EighteenDigits(std::fabs(value), exponent);
  const std::string digits = FifteenDigits(eighteen, exponent);

  std::string text = value < 0 ? "-" : "";
  if (exponent > 15 || exponent < -3) {
    text += digits[0];
    if (digits.size() > 1) text += gDecimalSeparator + digits.substr(1);
    text += 'E';
    text += std::to_string(exponent - 1);
  } else if (exponent <= 0) {
    text += '0';
    text += gDecimalSeparator;
    text.append(static_cast<size_t>(-exponent), '0');
    text += digits;
  } else {
    const size_t whole = static_cast<size_t>(exponent);
    if (digits.size() <= whole) {
      text += digits;
      text.append(whole - digits.size(), '0');
    } else {
      text += digits.substr(0, whole);
      text += gDecimalSeparator;
      text += digits.substr(whole);
    }
  }
  return text;
}

namespace {

constexpr uint32_t kMillisecondsPerDay = 86400000;
// Days from 1970-01-01 back to the day count's origin 1899-12-30.
constexpr int32_t kOriginToUnixEpochDays = 25569;

struct CivilDate {
  int32_t year;
  int month;
  int day;
};

// Proleptic Gregorian date of a day count relative to 1970-01-01 (after H. Hinnant's
// civil_from_days). In 32 bits: the callers' day counts stay far below 2^31 (the stamp's
// bound of 1e17 milliseconds is 1.2e9 days), and 64-bit division is a library call on i686.
CivilDate CivilFromDays(int32_t days) {
  days += 719468;
  const int32_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int32_t dayOfEra = days - era * 146097;
  const int32_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int32_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Round to nearest, ties to even, as the FPU does in its default mode.
int64_t RoundToMilliseconds(long double value) {
  long double whole = std::floor(value);
  const long double fraction = value - whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) whole += 1.0L;
  return static_cast<int64_t>(whole);
}

}  // namespace

uint32_t DateTimeToDosStamp(double dateTime) {
  const long double product = static_cast<long double>(dateTime) * kMillisecondsPerDay;
  // Far outside the DOS years, and not representable as milliseconds: no date.
  if (!(std::fabs(product) < 1e17L)) return 0;
  const int64_t milliseconds = RoundToMilliseconds(product);
  // Before the day count's origin (1899) there is no DOS date; the division takes no sign.
  if (milliseconds < 0) return 0;
  uint32_t timeOfDay;
  const int32_t days =
      static_cast<int32_t>(DivideWithRemainder(static_cast<uint64_t>(milliseconds), kMillisecondsPerDay, timeOfDay));

  const CivilDate date = CivilFromDays(days - kOriginToUnixEpochDays);
  if (date.year < 1980 || date.year > 2099) return 0;
  const uint32_t seconds = static_cast<uint32_t>(timeOfDay / 1000);
  const uint32_t hours = seconds / 3600;
  const uint32_t minutes = seconds / 60 % 60;
  const uint32_t dosDate = static_cast<uint32_t>(date.year - 1980) << 9 |
                           static_cast<uint32_t>(date.month) << 5 |
                           static_cast<uint32_t>(date.day);
  const uint32_t dosTime = hours << 11 | minutes << 5 | (seconds % 60) / 2;
  return dosDate << 16 | dosTime;
}

std::string UpperAscii(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

void CopyToBuffer(char* buffer, const std::string& text) {
  constexpr size_t kBufferTextLimit = 255;
  const size_t length = text.size() < kBufferTextLimit ? text.size() : kBufferTextLimit;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}
