// The member stream encoder: the decoder's tree, kept in step symbol by symbol, codes the
// items that the parser picks.
//
// The parser works on one linear buffer: the ring's initial fill as the decoder sees it
// (60 zeros, then 4036 spaces, both lying "before" the first byte) followed by the data.
// A match may start anywhere in the 4096 bytes before the current position, fill included,
// and may overlap the bytes it produces, exactly as the decoder's byte-by-byte copy allows.
#include <algorithm>
#include <cstring>
#include <vector>

#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "lzh/lzh_format.h"

namespace lzh {

unsigned CodeLengthOf(const AdaptiveTree& tree, unsigned symbol) {
  unsigned length = 0;
  for (unsigned node = tree.ParentTable[symbol + kNodeCount]; node != kRoot;
       node = tree.ParentTable[node])
    ++length;
  return length;
}

// Hash chains over the last 4096 positions; every position is inserted once, in order.
namespace {

unsigned HashBitsFor(size_t size) {
  unsigned bits = 12;
  while (bits < 15 && (size_t{1} << bits) < size) ++bits;
  return bits;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* text, size_t size, unsigned maxChain)
    : text_(text),
      size_(size),
      maxChain_(maxChain),
      hashBits_(HashBitsFor(size)),
      head_(size_t{1} << hashBits_, kNone),
      prev_(kRingSize, kNone) {}

unsigned MatchFinder::HashAt(size_t pos) const {
  const uint32_t v = (uint32_t{text_[pos]} << 16) | (uint32_t{text_[pos + 1]} << 8) | text_[pos + 2];
  return (v * 2654435761u) >> (32 - hashBits_);
}

void MatchFinder::Insert(size_t pos) {
  if (pos + kMinMatch > size_) return;
  const unsigned h = HashAt(pos);
  prev_[pos & kRingMask] = head_[h];
  head_[h] = static_cast<int64_t>(pos);
}

// Longest match for `pos` among the earlier positions, the nearest one on equal lengths.
Match MatchFinder::Longest(size_t pos, unsigned limit) const {
  Match best{0, 0};
  limit = static_cast<unsigned>(std::min<size_t>(limit, size_ - pos));
  if (limit < kMinMatch) return best;
  const uint8_t* const here = text_ + pos;
  int64_t candidate = head_[HashAt(pos)];
  const int64_t lowest = static_cast<int64_t>(pos) - kRingSize;
  for (unsigned chain = maxChain_; candidate >= lowest && candidate >= 0 && chain > 0; --chain) {
    const uint8_t* there = text_ + candidate;
    if (there[best.length] == here[best.length] && there[0] == here[0] && there[1] == here[1]) {
      unsigned n = 2;
      while (n < limit && there[n] == here[n]) ++n;
      if (n > best.length) {
        best.length = n;
        best.distance = static_cast<unsigned>(pos - candidate - 1);
        if (n == limit) break;
      }
    }
    const int64_t next = prev_[candidate & kRingMask];
    if (next >= candidate) break;  // the slot was reused by a newer position
    candidate = next;
  }
  if (best.length < kMinMatch) best.length = 0;
  return best;
}

unsigned MatchFinder::Candidates(size_t pos, unsigned limit, Match* out) const {
  limit = static_cast<unsigned>(std::min<size_t>(limit, size_ - pos));
  if (limit < kMinMatch) return 0;
  unsigned count = 0;
  unsigned best = kMinMatch - 1;
  const uint8_t* const here = text_ + pos;
  int64_t candidate = head_[HashAt(pos)];
  const int64_t lowest = static_cast<int64_t>(pos) - kRingSize;
  for (unsigned chain = maxChain_; candidate >= lowest && candidate >= 0 && chain > 0; --chain) {
    const uint8_t* there = text_ + candidate;
    if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
      unsigned n = 2;
      while (n < limit && there[n] == here[n]) ++n;
      if (n > best) {
        best = n;
        out[count++] = {n, static_cast<unsigned>(pos - candidate - 1)};
        if (n == limit) break;
      }
    }
    const int64_t next = prev_[candidate & kRingMask];
    if (next >= candidate) break;
    candidate = next;
  }
  return count;
}

void FillTextPrefix(uint8_t* prefix) {
  std::fill(prefix, prefix + kMaxMatch, 0);
  std::fill(prefix + kMaxMatch, prefix + kRingSize, kRingFill);
}

std::vector<uint8_t> WindowedText(const uint8_t* data, size_t size) {
  std::vector<uint8_t> text(kRingSize + size);
  FillTextPrefix(text.data());
  if (size > 0) std::memcpy(text.data() + kRingSize, data, size);
  return text;
}

void ParseGreedy(TextView text, unsigned maxChain, bool lazy, ItemCoder& coder) {
  MatchFinder finder(text.data(), text.size(), maxChain);
  for (size_t p = 0; p < kRingSize; ++p) finder.Insert(p);
  size_t pos = kRingSize;
  Match match = finder.Longest(pos, kMaxMatch);
  while (pos < text.size()) {
    finder.Insert(pos);
    if (match.length == 0) {
      coder.PutLiteral(text[pos]);
      ++pos;
      if (pos < text.size()) match = finder.Longest(pos, kMaxMatch);
      continue;
    }
    if (lazy && match.length < kMaxMatch) {
      // One step of lookahead: a longer match at the next byte is worth a literal now.
      const Match next = finder.Longest(pos + 1, kMaxMatch);
      if (next.length > match.length) {
        coder.PutLiteral(text[pos]);
        ++pos;
        match = next;
        continue;
      }
    }
    coder.PutMatch(match.length, match.distance);
    for (size_t k = 1; k < match.length; ++k) finder.Insert(pos + k);
    pos += match.length;
    if (pos < text.size()) match = finder.Longest(pos, kMaxMatch);
  }
}

namespace {

struct LevelSettings {
  unsigned maxChain;
  enum { Greedy, Lazy, Optimal } parser;
};

LevelSettings SettingsFor(int level) {
  static const LevelSettings kLevels[10] = {
      {4, LevelSettings::Greedy},   {4, LevelSettings::Greedy},   {8, LevelSettings::Greedy},
      {16, LevelSettings::Greedy},  {16, LevelSettings::Lazy},    {32, LevelSettings::Lazy},
      {64, LevelSettings::Lazy},    {128, LevelSettings::Lazy},   {256, LevelSettings::Lazy},
      {256, LevelSettings::Optimal}};
  return kLevels[std::clamp(level, 1, 9)];
}

}  // namespace

}  // namespace lzh

namespace lzh {

namespace {

void Parse(TextView text, int level, ItemCoder& coder) {
  const LevelSettings settings = SettingsFor(level);
  if (settings.parser == LevelSettings::Optimal) {
    ParseOptimal(text, settings.maxChain, coder);
  } else {
    ParseGreedy(text, settings.maxChain, settings.parser == LevelSettings::Lazy, coder);
  }
}

}  // namespace

std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, int level, bool avoidLoneMarker) {
  std::vector<uint8_t> out;
  out.reserve(size / 2 + 16);
  ItemCoder coder(out);
  const std::vector<uint8_t> text = WindowedText(data, size);
  Parse(text, level, coder);
  coder.Finish(text, avoidLoneMarker);
  return out;
}

void EncodeToDrain(TextView text, int level, StreamDrain& drain) {
  std::vector<uint8_t> out;
  ItemCoder coder(out);
  coder.SetDrain(&drain);
  Parse(text, level, coder);
  coder.Finish(text, true);
  drain.Take(out.data(), out.size());
  drain.Coded(text.size());
}

}  // namespace lzh

std::vector<uint8_t> LzhEncode(const uint8_t* data, size_t size, int level) {
  return lzh::EncodeStream(data, size, level, true);
}
