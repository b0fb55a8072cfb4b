// The offset digits of a stub (host/offset_digits.h): where they are, what they say, and
// writing new ones in their place.
//
// Finding them is a question with "not there" as a normal answer (a stub may carry none), so
// these functions answer by result; a damaged PE image is one without digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/offset_digits.h"

enum class OffsetCarrier { None, PeStringResource, NativeBlock };

constexpr int kOffsetDigitCount = SFX_OFFSET_DIGIT_COUNT;
constexpr uint32_t kLargestOffset = 999999999;  // the largest that the digits can spell
static_assert(kOffsetDigitCount == 9, "kLargestOffset has as many digits as the stubs carry");

struct TOffsetDigits {
  OffsetCarrier carrier = OffsetCarrier::None;
  size_t position = 0;    // file position of the first digit
  int digitCount = 0;     // digits the text holds (kOffsetDigitCount in every stub we can rewrite)
  uint32_t value = 0;     // the offset they spell
};

// Finds the offset digits: the string resource of a PE image, else the native marker block.
// False with a reason when neither is there or the text is not a decimal number.
bool FindOffsetDigits(const uint8_t* image, size_t size, TOffsetDigits& found,
                      std::string& reason);

// Rewrites the digits found by FindOffsetDigits in place (all of them, leading zeros).
// False when the carrier has no room for them or the value needs more.
bool WriteOffsetDigits(std::vector<uint8_t>& image, const TOffsetDigits& at, uint32_t value);

std::string OffsetDigitsText(uint32_t value);  // "000047616"
