#include "archive/crc32.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#define SFX_CRC_CARRYLESS 1
#endif

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

#ifdef SFX_CRC_CARRYLESS
// Folding with carry-less multiplication, on processors that have it (nearly every x86 since
// 2010): 64 bytes per step in four independent 128-bit lanes, no tables, about ten times the
// speed of the table code, so that checking costs unpacking about one percent. Each lane is
// multiplied by x^(512) and x^(576) mod P (the two halves) and the next 64 bytes are added;
// the lanes are then folded into one (x^128, x^192), the rest of the input 16 bytes at a time,
// and the 128 bits are reduced to 32 by two more folds and a Barrett reduction. The constants
// are those powers of x modulo the reflected polynomial, bit-reversed as the CRC is.
constexpr long long kFold512 = 0x154442BD4LL, kFold576 = 0x1C6E41596LL;
constexpr long long kFold128 = 0x1751997D0LL, kFold192 = 0x0CCAA009ELL;
constexpr long long kFold64 = 0x163CD6124LL;
constexpr long long kPolynomialFull = 0x1DB710641LL, kBarrett = 0x1F7011641LL;

bool HasCarrylessMultiply() {
  unsigned a, b, c, d;
  return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (d & bit_SSE2);
}

__attribute__((target("pclmul,sse2"))) inline __m128i FoldLane(__m128i lane, __m128i keys, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, keys, 0x00),
                                     _mm_clmulepi64_si128(lane, keys, 0x11)), next);
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register after `size` bytes; size at least 64 and a multiple of 16.
__attribute__((target("pclmul,sse2"))) uint32_t FoldBlocks(uint32_t crc, const uint8_t* data, size_t size) {
  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = Load(data + 16), x3 = Load(data + 32), x4 = Load(data + 48);
  data += 64;
  size -= 64;
  __m128i keys = _mm_set_epi64x(kFold576, kFold512);
  for (; size >= 64; data += 64, size -= 64) {
    x1 = FoldLane(x1, keys, Load(data));
    x2 = FoldLane(x2, keys, Load(data + 16));
    x3 = FoldLane(x3, keys, Load(data + 32));
    x4 = FoldLane(x4, keys, Load(data + 48));
  }
  keys = _mm_set_epi64x(kFold192, kFold128);
  x1 = FoldLane(x1, keys, x2);
  x1 = FoldLane(x1, keys, x3);
  x1 = FoldLane(x1, keys, x4);
  for (; size >= 16; data += 16, size -= 16) x1 = FoldLane(x1, keys, Load(data));
  // 128 bits to 64, appending the 32 zero bits a CRC implies.
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(keys, x1, 0x01));
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(x1, low32), _mm_set_epi64x(0, kFold64), 0x00));
  // Barrett reduction of the 64 bits left: quotient estimate, then remainder.
  const __m128i poly = _mm_set_epi64x(kBarrett, kPolynomialFull);
  __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), poly, 0x00);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x1, q), 4)));
}
#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  static const TCrcTables tables;
  const auto* t = tables.t;
  crc = ~crc;
#ifdef SFX_CRC_CARRYLESS
  static const bool carryless = HasCarrylessMultiply();
  if (carryless && size >= 64) {
    const size_t blocks = size & ~size_t{15};
    crc = FoldBlocks(crc, data, blocks);
    data += blocks;
    size -= blocks;
  }
#endif
  for (; size >= kSlices; data += kSlices, size -= kSlices) {
    crc = Fold(t, crc ^ LittleEndianWord(data), 12) ^ Fold(t, LittleEndianWord(data + 4), 8) ^
          Fold(t, LittleEndianWord(data + 8), 4) ^ Fold(t, LittleEndianWord(data + 12), 0);
  }
  for (; size > 0; ++data, --size) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return ~crc;
}
