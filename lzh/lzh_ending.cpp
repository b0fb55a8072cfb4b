// The stream's ending. After the last item the decoder meets the end marker; when that item
// ends on a byte boundary the marker is a whole byte 0x80, and a decoder that reads the
// marker's 1-bit as the start of another symbol finds a leaf there if the root's 1-branch is
// one: it appends a surplus literal or match to the member. Our decoder guards against it,
// but installers must decode with any decoder that follows the format, so the encoder never
// ends that way: it re-parses the last few items until the ending is safe.
//
// The bytes the held items cover are parsed again by a small depth-first search, cheapest
// first, over literals and matches of every length with one distance per distance-code
// length (9..14 bits): those choices move the end's bit position and the final tree, which
// are all that decide the ending. Few streams need it at all, and the search is bounded.
// When the held items leave no choice (a tail of literals that repeat nothing, say), one of
// the recent matches takes another distance whose code is longer or shorter: that moves
// the end by 1 to 5 bits and leaves the tree as it was.
#include <algorithm>
#include <vector>

#include "lzh/lzh_encoder.h"

namespace lzh {

namespace {

// Distances grouped by the length of their code: 0..63, 64..255, ..., 3072..4095.
constexpr unsigned kDistanceClasses = 6;
constexpr unsigned kClassStart[kDistanceClasses + 1] = {0, 64, 256, 768, 1536, 3072, kRingSize};
constexpr unsigned kNodesPerSearch = 4000;

bool EndsWithLoneMarker(const AdaptiveTree& tree, unsigned bits) {
  return bits % 8 == 0 && tree.ChildTable[tree.ChildTable[kRoot] + 1] >= kNodeCount;
}

// Codes one item into `tree`; returns its length in bits.
unsigned Advance(AdaptiveTree& tree, Item item) {
  const unsigned symbol = item.length == 1 ? item.distance : static_cast<unsigned>(MatchSymbolOf(item.length));
  unsigned bits = CodeLengthOf(tree, symbol);
  tree.UpdateTree(static_cast<int>(symbol));
  if (item.length > 1) bits += DistanceCodeLength(item.distance);
  return bits;
}

class EndingSearch {
 public:
  EndingSearch(TextView text, size_t from, unsigned maxItems)
      : text_(text), from_(from), end_(text.size()), maxItems_(maxItems), trees_(maxItems + 1) {
    FindNearestMatches();
  }

  // The cheapest item sequence over [from, end) that ends safely, starting from `tree` with
  // `bits` already written; false when none turned up within the search's budget.
  bool Run(const AdaptiveTree& tree, unsigned bits, std::vector<Item>& items) {
    trees_[0] = tree;
    budget_ = kNodesPerSearch;
    found_ = false;
    Visit(from_, 0, bits);
    if (found_) items = best_;
    return found_;
  }

 private:
  // nearest_[(p - from) * stride + class * (kMaxMatch + 1) + length]: 1 + the nearest distance
  // of that class at which `length` bytes from p repeat, 0 if none does.
  void FindNearestMatches() {
    const size_t span = end_ - from_;
    constexpr size_t stride = kDistanceClasses * (kMaxMatch + 1);
    nearest_.assign(span * stride, 0);
    std::vector<uint8_t> next(kRingSize, 0), here(kRingSize);  // match lengths by distance
    for (size_t p = end_; p-- > from_;) {
      for (unsigned d = 0; d < kRingSize; ++d)
        here[d] = text_[p] == text_[p - d - 1] ? static_cast<uint8_t>(std::min(kMaxMatch, next[d] + 1)) : 0;
      uint16_t* const row = &nearest_[(p - from_) * stride];
      for (unsigned c = 0; c < kDistanceClasses; ++c) {
        unsigned longest = kMinMatch - 1;
        for (unsigned d = kClassStart[c]; d < kClassStart[c + 1]; ++d) {
          for (; longest < here[d]; ++longest) row[c * (kMaxMatch + 1) + longest + 1] = static_cast<uint16_t>(d + 1);
        }
      }
      next.swap(here);
    }
  }

  void Visit(size_t pos, unsigned depth, unsigned bits) {
    if (budget_ == 0 || (found_ && bits >= bestBits_)) return;
    --budget_;
    if (pos == end_) {
      if (!EndsWithLoneMarker(trees_[depth], bits)) {
        found_ = true;
        best_ = path_;
        bestBits_ = bits;
      }
      return;
    }
    if (depth == maxItems_ || end_ - pos > (maxItems_ - depth) * size_t{kMaxMatch}) return;
    constexpr size_t stride = kDistanceClasses * (kMaxMatch + 1);
    const uint16_t* const row = &nearest_[(pos - from_) * stride];
    for (unsigned length = static_cast<unsigned>(std::min<size_t>(kMaxMatch, end_ - pos)); length >= kMinMatch;
         --length) {
      for (unsigned c = 0; c < kDistanceClasses; ++c) {
        const unsigned distance = row[c * (kMaxMatch + 1) + length];
        if (distance != 0) Try(pos, depth, bits, {static_cast<uint16_t>(length), static_cast<uint16_t>(distance - 1)});
      }
    }
    Try(pos, depth, bits, {1, text_[pos]});
  }

  void Try(size_t pos, unsigned depth, unsigned bits, Item item) {
    trees_[depth + 1] = trees_[depth];
    const unsigned more = Advance(trees_[depth + 1], item);
    path_.push_back(item);
    Visit(pos + item.length, depth + 1, bits + more);
    path_.pop_back();
  }

  const TextView text_;
  const size_t from_;
  const size_t end_;
  const unsigned maxItems_;
  std::vector<AdaptiveTree> trees_;  // the tree before each item of the path
  std::vector<uint16_t> nearest_;
  std::vector<Item> path_;
  std::vector<Item> best_;
  unsigned bestBits_ = 0;
  unsigned budget_ = 0;
  bool found_ = false;
};

}  // namespace

bool AvoidLoneMarkerEnding(const AdaptiveTree& tree, unsigned bitPhase, TextView text,
                           std::vector<Item>& tail) {
  AdaptiveTree end = tree;
  unsigned bits = bitPhase;
  for (const Item& item : tail) bits += Advance(end, item);
  if (!EndsWithLoneMarker(end, bits)) return true;

  // Re-parse ever more of the tail: first the last item alone, at last all of them, each
  // time allowing a few more items than were there.
  size_t covered = 0;
  for (size_t k = 1; k <= tail.size(); ++k) {
    covered += tail[tail.size() - k].length;
    AdaptiveTree before = tree;
    unsigned bitsBefore = bitPhase;
    for (size_t i = 0; i + k < tail.size(); ++i) bitsBefore += Advance(before, tail[i]);
    EndingSearch search(text, text.size() - covered, static_cast<unsigned>(k + 3));
    std::vector<Item> items;
    if (search.Run(before, bitsBefore, items)) {
      tail.resize(tail.size() - k);
      tail.insert(tail.end(), items.begin(), items.end());
      return true;
    }
  }
  return false;
}

std::vector<uint8_t> BitWriter::TakeBack(size_t position) {
  const size_t whole = released_ + out_.size() - base_;
  auto bitAt = [&](size_t p) -> uint8_t {
    if (p / 8 < whole) return (out_[base_ + p / 8 - released_] >> (7 - p % 8)) & 1;
    return (accumulator_ >> (count_ - 1 - (p - whole * 8))) & 1;
  };
  std::vector<uint8_t> bits;
  for (size_t p = position; p < Position(); ++p) bits.push_back(bitAt(p));
  uint64_t kept = 0;
  for (size_t p = position / 8 * 8; p < position; ++p) kept = kept * 2 + bitAt(p);
  out_.resize(base_ + position / 8 - released_);
  accumulator_ = kept;
  count_ = position % 8;
  return bits;
}

void ItemCoder::Drain() {
  size_t end = bits_.Position() / 8;
  const size_t count = std::min<size_t>(recentCount_, kRecentMatches);
  if (count > 0) end = std::min(end, recent_[(recentCount_ - count) % kRecentMatches].distanceAt / 8);
  if (bits_.Position() / 8 > kMaxKept) end = std::max(end, bits_.Position() / 8 - kMaxKept);
  bits_.Release(end, *drain_);
  drain_->Coded(position_);
  nextDrain_ = position_ + kDrainEvery;
}

bool ItemCoder::ShiftByAnotherDistance(TextView text) {
  const size_t count = std::min<size_t>(recentCount_, kRecentMatches);
  for (size_t n = 1; n <= count; ++n) {
    const CodedMatch& match = recent_[(recentCount_ - n) % kRecentMatches];
    if (match.distanceAt / 8 < bits_.Released()) break;  // handed on already
    const unsigned bits = DistanceCodeLength(match.item.distance);
    const uint8_t* const here = &text[match.position];
    for (unsigned distance = 0; distance < kRingSize; ++distance) {
      if (DistanceCodeLength(distance) == bits) continue;
      const uint8_t* const there = here - distance - 1;
      if (!std::equal(here, here + match.item.length, there)) continue;
      const std::vector<uint8_t> rest = bits_.TakeBack(match.distanceAt + bits);
      bits_.TakeBack(match.distanceAt);
      PutDistance(distance);
      for (uint8_t bit : rest) bits_.Put(bit, 1);
      return true;
    }
  }
  return false;
}

void ItemCoder::Finish(TextView text, bool avoidLoneMarker) {
  CodeAllBut(kHeldItems);
  std::vector<Item> tail(pending_, pending_ + pendingCount_);
  pendingCount_ = 0;
  if (avoidLoneMarker) AvoidLoneMarkerEnding(tree_, bits_.Phase(), text, tail);
  for (const Item& item : tail) Code(item);
  if (avoidLoneMarker && EndsWithLoneMarker(tree_, bits_.Phase())) ShiftByAnotherDistance(text);
  bits_.PutEndMarker();
}

}  // namespace lzh
