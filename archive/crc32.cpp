#include "archive/crc32.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Slicing by eight: table k gives the CRC contribution of a byte followed by k zero bytes, so
// eight bytes are folded in with eight independent look-ups instead of a chain of eight. The
// tables are filled on first use rather than stored in the image, which keeps the stub small.
struct TCrcTables {
  uint32_t t[8][256];
  TCrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

// Assembled byte by byte, so the result does not depend on the machine's byte order; compilers
// turn it into one load where that is the same thing.
inline uint32_t LittleEndianWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  static const TCrcTables tables;
  const auto& t = tables.t;
  crc = ~crc;
  for (; size >= 8; data += 8, size -= 8) {
    const uint32_t low = crc ^ LittleEndianWord(data);
    const uint32_t high = LittleEndianWord(data + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; size > 0; ++data, --size) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
