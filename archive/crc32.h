// CRC-32 as zlib and IEEE 802.3 compute it: reflected polynomial 0xEDB88320, register preset
// to all ones and inverted at the end. CRC-32 of "123456789" is 0xCBF43926.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC over more bytes: Crc32Update(Crc32Update(0, a), b) is the CRC of a then b.
// Start with 0.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

inline uint32_t Crc32(const uint8_t* data, size_t size) { return Crc32Update(0, data, size); }
