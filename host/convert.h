// Number, date and text conversions with the exact behaviour the archive format relies on.
// Conversions raise EConvertError on invalid input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

int32_t ParseInteger(const std::string& text);
std::string IntegerText(int32_t value);  // the directory's values are 32-bit
long double ParseFloat(const std::string& text);
std::string FloatText(long double value);
uint32_t DateTimeToDosStamp(double dateTime);  // 0 outside the years 1980..2099
std::string UpperAscii(const std::string& text);
void CopyToBuffer(char* buffer, const std::string& text);  // at most 255 characters and a NUL

// The decimal separator shared by FloatText and ParseFloat. Read once at start-up from the
// system (InitHostServices); settable so tests can exercise other separators.
char DecimalSeparator();
void SetDecimalSeparator(char separator);
