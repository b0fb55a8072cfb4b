// The encoder's parts, shared by its parsers: the match finder over the windowed text and
// the item coder that keeps the adaptive tree in step with the decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/lzh_format.h"

namespace lzh {

struct Match {
  unsigned length;    // 0: none of at least kMinMatch bytes
  unsigned distance;  // 0 = the byte just before
};

class MatchFinder {
 public:
  MatchFinder(const uint8_t* text, size_t size, unsigned maxChain);
  void Insert(size_t pos);  // positions go in once each, in increasing order
  Match Longest(size_t pos, unsigned limit) const;

 private:
  static constexpr unsigned kHashBits = 15;
  static constexpr size_t kHashSize = size_t{1} << kHashBits;
  static constexpr int64_t kNone = -1;
  unsigned HashAt(size_t pos) const;

  const uint8_t* text_;
  size_t size_;
  unsigned maxChain_;
  std::vector<int64_t> head_;
  std::vector<int64_t> prev_;
};

// The ring's initial fill as a linear prefix of kRingSize bytes, then the data.
std::vector<uint8_t> WindowedText(const uint8_t* data, size_t size);

// The current code length of a symbol (the depth of its leaf).
unsigned CodeLengthOf(const AdaptiveTree& tree, unsigned symbol);

}  // namespace lzh
