// Where a stub keeps the nine decimal digits that give the archive's offset in the installer:
//
//   Win32 stub (PE image): string resource 1, i.e. entry 1 of string table block 1 in the
//     resource section (type RT_STRING = 6, name 1, first language), UTF-16, "000047616".
//   native stub: the marker bytes "SFX-ARCHIVE-OFFSET:" followed by nine ASCII digits.
//
// The parsing treats the image as hostile: every offset and count is checked against the
// bytes that are there before it is used, and a walk that leaves them simply finds nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class OffsetCarrier { None, PeStringResource, NativeBlock };

struct TOffsetDigits {
  OffsetCarrier carrier = OffsetCarrier::None;
  size_t position = 0;    // file position of the first digit
  int digitCount = 0;     // digits the text holds (9 in every stub we can rewrite)
  uint32_t value = 0;     // the offset they spell
};

constexpr int kOffsetDigitCount = 9;
constexpr uint32_t kLargestOffset = 999999999;
constexpr char kNativeOffsetMarker[] = "SFX-ARCHIVE-OFFSET:";

// Whether the image starts like a PE file ("MZ", then "PE\0\0" at e_lfanew).
bool IsPeImage(const uint8_t* image, size_t size);

// Locates string resource `id` of a PE image. On success `position` is the file position of
// its first UTF-16 character and `length` its length in characters.
bool FindPeStringResource(const uint8_t* image, size_t size, uint16_t id, size_t& position,
                          size_t& length);

// Finds the offset digits: string resource 1 of a PE image, else the native marker block.
// False with a reason when neither is there or the text is not a decimal number.
bool FindOffsetDigits(const uint8_t* image, size_t size, TOffsetDigits& found,
                      std::string& reason);

// Rewrites the digits found by FindOffsetDigits in place (nine digits, leading zeros).
// False when the carrier has no room for nine digits or the value needs more.
bool WriteOffsetDigits(std::vector<uint8_t>& image, const TOffsetDigits& at, uint32_t value);

std::string OffsetDigitsText(uint32_t value);  // "000047616"
