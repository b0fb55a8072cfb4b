#include "archive/format.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "archive/crc32.h"

namespace {

constexpr int kExponentBias = 16383;
constexpr int kExponentAllOnes = 0x7FFF;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

void PutSignificand(uint8_t bytes[kExtendedSize], uint64_t significand) {
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(significand >> (8 * i));
}

void PutSignAndExponent(uint8_t bytes[kExtendedSize], bool negative, int exponent) {
  const unsigned word = (negative ? 0x8000u : 0u) | static_cast<unsigned>(exponent);
  bytes[8] = static_cast<uint8_t>(word);
  bytes[9] = static_cast<uint8_t>(word >> 8);
}

// m in [0.5, 1) as a 64-bit fraction, taken in two halves so that no conversion of a
// long double to an integer ever sees a value of 2^63 or more.
uint64_t FractionBits(long double m) {
  const long double high = std::floor(std::ldexp(m, 32));
  const long double low = std::ldexp(m, 64) - std::ldexp(high, 32);
  return (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) |
         static_cast<uint32_t>(low);
}

uint32_t GetLittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool LooksLikeChecksumBlock(const uint8_t* bytes, size_t available) {
  if (available == 0) return false;
  const size_t n = available < kChecksumMagicSize ? available : kChecksumMagicSize;
  size_t same = 0;
  for (size_t i = 0; i < n; ++i) same += bytes[i] == static_cast<uint8_t>(kChecksumMagic[i]) ? 1 : 0;
  return n < kChecksumMagicSize ? same == n : same >= 5;
}

bool ParseChecksumBlock(const uint8_t* bytes, uint32_t count, TArchiveChecksums& checksums) {
  const size_t crcAt = static_cast<size_t>(ChecksumBlockSize(count)) - 4;
  if (std::memcmp(bytes, kChecksumMagic, kChecksumMagicSize) != 0 ||
      GetLittleEndian32(bytes + kChecksumMagicSize) != count ||
      GetLittleEndian32(bytes + crcAt) != Crc32(bytes, crcAt))
    return false;
  checksums.directory = GetLittleEndian32(bytes + kChecksumMagicSize + 4);
  checksums.members.resize(count);
  for (uint32_t i = 0; i < count; ++i)
    checksums.members[i] = GetLittleEndian32(bytes + kChecksumHeaderSize + 4 * size_t{i});
  return true;
}

void EncodeExtended(long double value, uint8_t bytes[kExtendedSize]) {
  const bool negative = std::signbit(value);
  if (std::isnan(value)) {
    PutSignificand(bytes, kIntegerBit | (kIntegerBit >> 1));  // quiet NaN
    PutSignAndExponent(bytes, negative, kExponentAllOnes);
    return;
  }
  if (std::isinf(value)) {
    PutSignificand(bytes, kIntegerBit);
    PutSignAndExponent(bytes, negative, kExponentAllOnes);
    return;
  }
  if (value == 0) {
    PutSignificand(bytes, 0);
    PutSignAndExponent(bytes, negative, 0);
    return;
  }
  int exponent = 0;
  const long double m = std::frexp(std::fabs(value), &exponent);  // value = m * 2^exponent
  uint64_t significand = FractionBits(m);
  int biased = exponent - 1 + kExponentBias;
  if (biased >= kExponentAllOnes) {  // only where long double reaches beyond x87's range
    PutSignificand(bytes, kIntegerBit);
    PutSignAndExponent(bytes, negative, kExponentAllOnes);
    return;
  }
  if (biased <= 0) {  // denormal: exponent field 0 stands for 2^-16382 without integer bit
    const int shift = 1 - biased;
    significand = shift >= 64 ? 0 : significand >> shift;
    biased = 0;
  }
  PutSignificand(bytes, significand);
  PutSignAndExponent(bytes, negative, biased);
}

long double DecodeExtended(const uint8_t bytes[kExtendedSize]) {
  uint64_t significand = 0;
  for (int i = 7; i >= 0; --i) significand = (significand << 8) | bytes[i];
  const unsigned word = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
  const bool negative = (word & 0x8000u) != 0;
  const int exponent = static_cast<int>(word & 0x7FFFu);
  long double magnitude;
  if (exponent == kExponentAllOnes) {
    magnitude = (significand << 1) == 0 ? HUGE_VALL : std::nanl("");
  } else if (exponent != 0 && (significand & kIntegerBit) == 0) {
    magnitude = std::nanl("");  // unnormal: the FPU refuses it as an invalid operand
  } else {
    const int scale = (exponent == 0 ? 1 : exponent) - kExponentBias - 63;
    const long double high = static_cast<long double>(static_cast<uint32_t>(significand >> 32));
    const long double low = static_cast<long double>(static_cast<uint32_t>(significand));
    magnitude = std::ldexp(high, scale + 32) + std::ldexp(low, scale);
  }
  return negative ? -magnitude : magnitude;
}
