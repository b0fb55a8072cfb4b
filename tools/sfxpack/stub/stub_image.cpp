#include "tools/sfxpack/stub/stub_image.h"

#include <cstdio>
#include <cstring>

#include "tools/sfxpack/pe/pe_image.h"

namespace {

constexpr char kNativeOffsetMarker[] = SFX_OFFSET_MARKER;
constexpr uint16_t kOffsetStringId = SFX_OFFSET_STRING_ID;

// A string table block holds 16 strings, each a 16-bit length followed by that many UTF-16
// characters; string `id` is number id % 16 of block id / 16 + 1. Gives the position of the
// string's first character in the block and its length.
bool FindStringInBlock(const Bytes& block, uint16_t index, size_t& position, size_t& length) {
  size_t at = 0;
  for (uint16_t i = 0;; ++i) {
    if (at + 2 > block.size()) return false;
    const size_t characters = block[at] | block[at + 1] << 8;
    if (at + 2 + 2 * characters > block.size()) return false;
    if (i == index) {
      position = at + 2;
      length = characters;
      return true;
    }
    at += 2 + 2 * characters;
  }
}

// File position and length of the offset string, when the image holds it.
bool FindOffsetString(const uint8_t* image, size_t size, size_t& position, size_t& length) {
  try {
    const PeImage pe(image, size);
    const auto strings = pe.Resources().find(TResourceKey::Id(kResourceString));
    if (strings == pe.Resources().end()) return false;
    const auto block = strings->second.find(TResourceKey::Id(kOffsetStringId / 16 + 1));
    if (block == strings->second.end() || block->second.empty()) return false;
    const TResourceData& data = block->second.begin()->second;  // any language will do
    if (!FindStringInBlock(data.bytes, kOffsetStringId % 16, position, length)) return false;
    position += pe.FilePosition(data.address, static_cast<uint32_t>(data.bytes.size()));
    return true;
  } catch (const EBadImage&) {
    return false;
  }
}

bool ParseDigits(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > kOffsetDigitCount) return false;
  uint32_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint32_t>(c - '0');
  }
  value = result;
  return true;
}

bool FindPeDigits(const uint8_t* image, size_t size, TOffsetDigits& found, std::string& reason) {
  size_t position = 0;
  size_t length = 0;
  if (!FindOffsetString(image, size, position, length)) {
    reason = "PE file without string resource " + std::to_string(kOffsetStringId) +
             " (not an installer stub?)";
    return false;
  }
  std::string text;
  for (size_t i = 0; i < length && text.size() <= kOffsetDigitCount; ++i) {
    const uint8_t low = image[position + 2 * i];
    const uint8_t high = image[position + 2 * i + 1];
    text.push_back(high == 0 ? static_cast<char>(low) : '?');
  }
  if (!ParseDigits(text, found.value)) {
    reason = "string resource " + std::to_string(kOffsetStringId) + " is not an archive offset";
    return false;
  }
  found.carrier = OffsetCarrier::PeStringResource;
  found.position = position;
  found.digitCount = static_cast<int>(length);
  return true;
}

// The first marker that is followed by all the digits: the stub's own block comes before any
// appended data, so a marker inside a packed member cannot be taken for it.
bool FindNativeDigits(const uint8_t* image, size_t size, TOffsetDigits& found) {
  const size_t markerLength = sizeof(kNativeOffsetMarker) - 1;
  const size_t needed = markerLength + kOffsetDigitCount;
  if (size < needed) return false;
  for (size_t at = 0; at + needed <= size; ++at) {
    const void* hit = std::memchr(image + at, kNativeOffsetMarker[0], size - needed + 1 - at);
    if (hit == nullptr) return false;
    at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - image);
    if (std::memcmp(image + at, kNativeOffsetMarker, markerLength) != 0) continue;
    const std::string digits(reinterpret_cast<const char*>(image) + at + markerLength,
                             kOffsetDigitCount);
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    ParseDigits(digits, found.value);
    found.carrier = OffsetCarrier::NativeBlock;
    found.position = at + markerLength;
    found.digitCount = kOffsetDigitCount;
    return true;
  }
  return false;
}

}  // namespace

bool FindOffsetDigits(const uint8_t* image, size_t size, TOffsetDigits& found,
                      std::string& reason) {
  found = TOffsetDigits{};
  if (IsPeImage(image, size)) {
    if (FindPeDigits(image, size, found, reason)) return true;
    // A PE image may still carry the native block (a stub built some other way).
    return FindNativeDigits(image, size, found);
  }
  if (FindNativeDigits(image, size, found)) return true;
  reason = "no archive offset found: neither a Win32 stub nor a native stub (try --offset)";
  return false;
}

bool WriteOffsetDigits(std::vector<uint8_t>& image, const TOffsetDigits& at, uint32_t value) {
  if (value > kLargestOffset || at.digitCount != kOffsetDigitCount) return false;
  const std::string digits = OffsetDigitsText(value);
  const size_t width = at.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
  if (at.carrier == OffsetCarrier::None || at.position > image.size() ||
      image.size() - at.position < width * kOffsetDigitCount) {
    return false;
  }
  for (int i = 0; i < kOffsetDigitCount; ++i) {
    image[at.position + width * i] = static_cast<uint8_t>(digits[i]);
    if (width == 2) image[at.position + width * i + 1] = 0;
  }
  return true;
}

std::string OffsetDigitsText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*u", kOffsetDigitCount, value);
  return text;
}
