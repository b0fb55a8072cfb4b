#include "archive/crc32.h"

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

// Slicing by sixteen: table k gives the CRC contribution of a byte followed by k zero bytes, so
// sixteen bytes are folded in with sixteen independent look-ups instead of a chain of sixteen
// (the decoder produces over 100 MB/s, and the check must cost it only a few percent). The
// tables are filled on first use rather than stored in the image, which keeps the stub small.
constexpr int kSlices = 16;

struct TCrcTables {
  uint32_t t[kSlices][256];
  TCrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < kSlices; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};

// Assembled byte by byte, so the result does not depend on the machine's byte order; compilers
// turn it into one load where that is the same thing.
inline uint32_t LittleEndianWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The four look-ups for one 32-bit word of a step; `first` is the table of its last byte, 0 for
// the step's last word, 12 for its first.
inline uint32_t Fold(const uint32_t (*t)[256], uint32_t word, int first) {
  return t[first + 3][word & 0xFF] ^ t[first + 2][(word >> 8) & 0xFF] ^ t[first + 1][(word >> 16) & 0xFF] ^
         t[first][word >> 24];
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  static const TCrcTables tables;
  const auto* t = tables.t;
  crc = ~crc;
  for (; size >= kSlices; data += kSlices, size -= kSlices) {
    crc = Fold(t, crc ^ LittleEndianWord(data), 12) ^ Fold(t, LittleEndianWord(data + 4), 8) ^
          Fold(t, LittleEndianWord(data + 8), 4) ^ Fold(t, LittleEndianWord(data + 12), 0);
  }
  for (; size > 0; ++data, --size) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
