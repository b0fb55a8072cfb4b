// The constants of the member stream format and the adaptive Huffman tree that both the
// decoder and the encoder keep, step for step, so that every symbol gets the same code on
// both sides.
//
// Stream layout: bits are taken from the most significant bit of each byte down. Items
// follow one another without any alignment: a literal is one symbol code (symbols 0..255),
// a match is a length symbol (256..313, length = symbol - 253) followed at once by a
// distance code (a prefix code of 3..8 bits for the distance's upper 6 bits, then its low
// 6 bits plainly). After the last item comes a 1-bit and 0-bits up to the byte's end.
#pragma once

#include <array>
#include <cstdint>

namespace lzh {

// Match distances carry 12 bits, hence the 4096-byte window.
constexpr int kRingSize = 4096;
constexpr int kRingMask = kRingSize - 1;
constexpr int kMaxMatch = 60;
constexpr int kThreshold = 2;  // a match must be longer than this to pay off
constexpr int kMinMatch = kThreshold + 1;
constexpr int kSymbolCount = 256 + kMaxMatch - kThreshold;  // 314
constexpr int kNodeCount = 2 * kSymbolCount - 1;            // 627
constexpr int kRoot = kNodeCount - 1;                       // 626
constexpr uint16_t kFrequencyLimit = 0x8000;
// The ring starts as 4036 spaces and 60 zeros, and the first byte goes to position 4036:
// a match that reaches back before the first byte copies from this fill.
constexpr int kRingStart = kRingSize - kMaxMatch;  // 4036
constexpr uint8_t kRingFill = 0x20;

constexpr int MatchLengthOf(int symbol) { return symbol - 253; }
constexpr int MatchSymbolOf(int length) { return length + 253; }

// The distance's upper 6 bits use a fixed prefix code: value u has a code of length
// DistancePrefixLength[b] whose bits are the top bits of every index b with
// DistanceUpper[b] == u. Lengths: 3 bits for 0, 4 for 1..3, 5 for 4..11, 6 for 12..23,
// 7 for 24..47, 8 for 48..63.
struct DistanceTables {
  uint8_t upper[256];
  uint8_t prefixLength[256];
  uint8_t codeOfUpper[64];        // the prefix code of each upper value (right-aligned)
  uint8_t codeLengthOfUpper[64];  // its length
};

constexpr DistanceTables MakeDistanceTables() {
  DistanceTables t{};
  const int lengths[6] = {3, 4, 5, 6, 7, 8};
  const int counts[6] = {1, 3, 8, 12, 24, 16};
  int b = 0;
  int u = 0;
  for (int g = 0; g < 6; ++g) {
    const int length = lengths[g];
    for (int n = 0; n < counts[g]; ++n, ++u) {
      t.codeOfUpper[u] = static_cast<uint8_t>(b >> (8 - length));
      t.codeLengthOfUpper[u] = static_cast<uint8_t>(length);
      for (int e = 0; e < (1 << (8 - length)); ++e, ++b) {
        t.upper[b] = static_cast<uint8_t>(u);
        t.prefixLength[b] = static_cast<uint8_t>(length);
      }
    }
  }
  return t;
}

inline constexpr DistanceTables kDistance = MakeDistanceTables();
static_assert(kDistance.upper[0xFF] == 63 && kDistance.prefixLength[0x1F] == 3 &&
                  kDistance.upper[0x50] == 4 && kDistance.prefixLength[0xC0] == 7,
              "distance tables out of shape");

// The adaptive Huffman tree in flat tables ordered by frequency: a node's number is its
// rank, so an update only walks the leaf's path to the root and swaps nodes in place.
// ChildTable entries >= kNodeCount are leaves (symbol = entry - kNodeCount); an inner node
// v has its children at v (0-bit) and v + 1 (1-bit). ParentTable[kNodeCount + s] is the
// leaf node of symbol s. FreqTable[kNodeCount] is a 0xFFFF sentinel that stops scans.
//
// The entries past the format's tables serve the decoder's faster update: more sentinels,
// so that a scan may look several entries ahead; a counter that takes the increments meant
// for levels above the root, so that a climb may always run the same number of steps; and a
// parent entry that takes the writes meant for the neighbour of a leaf.
// Eight: on real data an exchange finds its partner within eight entries 93 times in 100
// (within four, 81), so the decoder's scan nearly always ends in its first round.
constexpr unsigned kScanAhead = 8;
constexpr unsigned kSpareCounter = kNodeCount + kScanAhead + 1;
constexpr unsigned kSpareParent = kNodeCount + kSymbolCount;
struct AdaptiveTree {
  uint16_t FreqTable[kSpareCounter + 2];
  uint16_t ChildTable[kNodeCount];
  uint16_t ParentTable[kSpareParent + 1];

  void InitTree() {
    for (int s = 0; s < kSymbolCount; ++s) {
      FreqTable[s] = 1;
      ChildTable[s] = static_cast<uint16_t>(s + kNodeCount);
      ParentTable[s + kNodeCount] = static_cast<uint16_t>(s);
    }
    int i = 0;
    for (int j = kSymbolCount; j < kNodeCount; ++j, i += 2) {
      FreqTable[j] = static_cast<uint16_t>(FreqTable[i] + FreqTable[i + 1]);
      ChildTable[j] = static_cast<uint16_t>(i);
      ParentTable[i] = ParentTable[i + 1] = static_cast<uint16_t>(j);
    }
    for (unsigned n = kNodeCount; n < kSpareCounter; ++n) FreqTable[n] = 0xFFFF;
    FreqTable[kSpareCounter] = 0;
    FreqTable[kSpareCounter + 1] = 0xFFFF;  // the spare counter never passes it
    ParentTable[kRoot] = 0;
  }

  // Adds one to the frequency of every node from the symbol's leaf to the root. A node whose
  // frequency passes its right neighbour's changes place with the last node still below it,
  // which keeps the table sorted; the root never moves because the sentinel is larger.
  inline void UpdateTree(int symbol) {
    if (FreqTable[kRoot] == kFrequencyLimit) RebuildTree();
    unsigned x = ParentTable[symbol + kNodeCount];
    do {
      const unsigned k = ++FreqTable[x];
      if (FreqTable[x + 1] < k) {
        unsigned l = x + 1;
        while (FreqTable[l + 1] < k) ++l;
        FreqTable[x] = FreqTable[l];
        FreqTable[l] = static_cast<uint16_t>(k);
        const unsigned i = ChildTable[x];
        ParentTable[i] = static_cast<uint16_t>(l);
        if (i < kNodeCount) ParentTable[i + 1] = static_cast<uint16_t>(l);
        const unsigned j = ChildTable[l];
        ChildTable[l] = static_cast<uint16_t>(i);
        ParentTable[j] = static_cast<uint16_t>(x);
        if (j < kNodeCount) ParentTable[j + 1] = static_cast<uint16_t>(x);
        ChildTable[x] = static_cast<uint16_t>(j);
        x = l;
      }
      x = ParentTable[x];
    } while (x != 0);
  }

  // Halves every leaf (rounding up, so none drops to 0) and builds the inner nodes anew.
  // A new inner node goes behind the nodes of equal frequency: the other side does the
  // same, and any other tie-break would give different codes from here on.
  //
  // The leaves stay in order, so they are sorted; the inner nodes come out sorted too, the
  // m-th joining the nodes at 2m and 2m + 1, which lie below it. The table is therefore the
  // merge of the two sequences, an inner node taking its place once no leaf left is lighter
  // or as heavy.
  void RebuildTree() {
    uint16_t leafFreq[kSymbolCount];
    uint16_t leafChild[kSymbolCount];
    int j = 0;
    for (int i = 0; i < kNodeCount; ++i) {
      if (ChildTable[i] >= kNodeCount) {
        leafFreq[j] = static_cast<uint16_t>((FreqTable[i] + 1) / 2);
        leafChild[j] = ChildTable[i];
        ++j;
      }
    }
    int leaf = 0;
    int inner = 0;
    for (int pos = 0; pos < kNodeCount; ++pos) {
      if (inner < kSymbolCount - 1 && 2 * inner + 1 < pos) {
        const unsigned f = FreqTable[2 * inner] + FreqTable[2 * inner + 1];
        if (leaf == kSymbolCount || f < leafFreq[leaf]) {
          FreqTable[pos] = static_cast<uint16_t>(f);
          ChildTable[pos] = static_cast<uint16_t>(2 * inner);
          ++inner;
          continue;
        }
      }
      FreqTable[pos] = leafFreq[leaf];
      ChildTable[pos] = leafChild[leaf];
      ++leaf;
    }
    for (int i = 0; i < kNodeCount; ++i) {
      const unsigned v = ChildTable[i];
      ParentTable[v] = static_cast<uint16_t>(i);
      if (v < kNodeCount) ParentTable[v + 1] = static_cast<uint16_t>(i);
    }
  }
};

}  // namespace lzh
