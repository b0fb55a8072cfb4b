// The parser of the highest level: per block, the cheapest sequence of items in bits, found
// by a shortest-path pass over the block's positions.
//
// The code is adaptive, so a symbol's price changes with every item. The prices are taken
// from the tree as it stands at the start of each block: halfway between the ideal length
// log2(root / leaf) of each symbol, which follows the frequencies smoothly and anticipates
// how the codes drift while the block is coded, and the whole-bit length the tree gives it
// now. Blocks are short so that the prices stay close to the real code; on text both
// choices save about half a percent over whole blocks of 4096 priced by the ideal length.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "lzh/lzh_encoder.h"

namespace lzh {

namespace {

constexpr size_t kBlock = 512;
constexpr uint32_t kPriceScale = 16;  // prices in 1/16 bit

struct Step {
  uint16_t length;  // 1: a literal
  uint16_t distance;
};

class PriceTable {
 public:
  void Refresh(const AdaptiveTree& tree) {
    const double root = tree.FreqTable[kRoot];
    for (unsigned s = 0; s < kSymbolCount; ++s) {
      const double leaf = tree.FreqTable[tree.ParentTable[s + kNodeCount]];
      const double ideal = std::log2(root / leaf);
      const double now = CodeLengthOf(tree, s);
      symbol_[s] = static_cast<uint32_t>(std::lround((ideal + now) / 2 * kPriceScale)) + 1;
    }
  }
  uint32_t Literal(uint8_t byte) const { return symbol_[byte]; }
  uint32_t Match(unsigned length, unsigned distance) const {
    return symbol_[MatchSymbolOf(static_cast<int>(length))] + DistanceCodeLength(distance) * kPriceScale;
  }

 private:
  uint32_t symbol_[kSymbolCount];
};

}  // namespace

// Each pass prices kBlock positions plus kMaxMatch more, so that a match may run across the
// block's end; only the items that start inside the block are coded, and the next pass
// starts where the last of them ends. The matches found beyond that point are kept for it,
// since every position goes into the match finder exactly once.
void ParseOptimal(TextView text, unsigned maxChain, ItemCoder& coder) {
  MatchFinder finder(text.data(), text.size(), maxChain);
  for (size_t p = 0; p < kRingSize; ++p) finder.Insert(p);

  // Small inputs need no room for a whole pass.
  const size_t spanCapacity = std::min(kBlock + kMaxMatch, text.size() - kRingSize + 1);
  PriceTable prices;
  std::vector<uint32_t> cost(spanCapacity + 1);
  std::vector<Step> step(spanCapacity + 1);
  std::vector<Step> items;
  std::vector<Match> found(spanCapacity * kMaxMatch);  // candidates of each position of the span
  std::vector<uint8_t> foundCount(spanCapacity);
  size_t searched = kRingSize;  // the positions below have been searched and inserted
  size_t previousStart = kRingSize;

  for (size_t start = kRingSize; start < text.size();) {
    const size_t span = std::min(spanCapacity, text.size() - start);
    const size_t blockLength = std::min(kBlock, span);
    // Keep what the previous pass found for positions it already searched.
    const size_t kept = searched - start;
    if (kept > 0) {
      const size_t shift = start - previousStart;
      std::copy_n(found.begin() + shift * kMaxMatch, kept * kMaxMatch, found.begin());
      std::copy_n(foundCount.begin() + shift, kept, foundCount.begin());
    }
    prices.Refresh(coder.Tree());
    std::fill(cost.begin(), cost.begin() + span + 1, std::numeric_limits<uint32_t>::max());
    cost[0] = 0;
    for (size_t i = 0; i < span; ++i) {
      const size_t pos = start + i;
      Match* const candidates = &found[i * kMaxMatch];
      if (pos >= searched) {
        foundCount[i] = static_cast<uint8_t>(finder.Candidates(pos, kMaxMatch, candidates));
        finder.Insert(pos);
        searched = pos + 1;
      }
      const uint32_t here = cost[i];
      const uint32_t literal = here + prices.Literal(text[pos]);
      if (literal <= cost[i + 1]) {
        cost[i + 1] = literal;
        step[i + 1] = {1, 0};
      }
      const unsigned limit = static_cast<unsigned>(std::min<size_t>(kMaxMatch, span - i));
      unsigned length = kMinMatch;
      for (unsigned c = 0; c < foundCount[i] && length <= limit; ++c) {
        const unsigned longest = std::min(candidates[c].length, limit);
        for (; length <= longest; ++length) {
          const uint32_t price = here + prices.Match(length, candidates[c].distance);
          if (price <= cost[i + length]) {
            cost[i + length] = price;
            step[i + length] = {static_cast<uint16_t>(length), static_cast<uint16_t>(candidates[c].distance)};
          }
        }
      }
    }
    items.clear();
    for (size_t i = span; i > 0; i -= step[i].length) items.push_back(step[i]);
    size_t pos = start;
    for (auto it = items.rbegin(); it != items.rend() && pos < start + blockLength; ++it) {
      if (it->length == 1) {
        coder.PutLiteral(text[pos]);
      } else {
        coder.PutMatch(it->length, it->distance);
      }
      pos += it->length;
    }
    previousStart = start;
    start = pos;
  }
}

}  // namespace lzh
