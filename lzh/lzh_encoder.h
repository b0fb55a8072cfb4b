// The encoder's parts, shared by its parsers: the match finder over the windowed text, the
// item coder that keeps the adaptive tree in step with the decoder, and the parsers.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "lzh/lzh_format.h"

namespace lzh {

// The text a parser works on: the ring's initial fill followed by the data (WindowedText),
// in one piece of memory, owned elsewhere.
struct TextView {
  const uint8_t* bytes;
  size_t length;
  TextView(const uint8_t* b, size_t n) : bytes(b), length(n) {}
  TextView(const std::vector<uint8_t>& v) : bytes(v.data()), length(v.size()) {}  // NOLINT: implicit
  const uint8_t* data() const { return bytes; }
  size_t size() const { return length; }
  const uint8_t& operator[](size_t i) const { return bytes[i]; }
};

// Takes the stream while it is being coded, for callers that write it out as it grows.
class StreamDrain {
 public:
  virtual ~StreamDrain() = default;
  // Bytes of the stream that are final, in order.
  virtual void Take(const uint8_t* bytes, size_t count) = 0;
  // Every text position below `position` has been coded.
  virtual void Coded(size_t position) = 0;
};

struct Match {
  unsigned length;    // 0: none of at least kMinMatch bytes
  unsigned distance;  // 0 = the byte just before
};

class MatchFinder {
 public:
  MatchFinder(const uint8_t* text, size_t size, unsigned maxChain);
  void Insert(size_t pos);  // positions go in once each, in increasing order
  Match Longest(size_t pos, unsigned limit) const;
  // Every match that is longer than all nearer ones, nearest first (so lengths increase);
  // returns how many were stored in `out` (room for kMaxMatch entries).
  unsigned Candidates(size_t pos, unsigned limit, Match* out) const;

 private:
  static constexpr int64_t kNone = -1;
  unsigned HashAt(size_t pos) const;

  const uint8_t* text_;
  size_t size_;
  unsigned maxChain_;
  unsigned hashBits_;  // fewer for small inputs, which would not fill a large table
  std::vector<int64_t> head_;
  std::vector<int64_t> prev_;
};

// Writes bits most significant first, as the decoder reads them.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out), base_(out.size()) {}

  void Put(uint32_t code, unsigned length) {
    accumulator_ = (accumulator_ << length) | code;
    count_ += length;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(accumulator_ >> count_));
    }
  }

  unsigned Phase() const { return count_; }  // bits written mod 8
  size_t Position() const { return (released_ + out_.size() - base_) * 8 + count_; }  // bits written
  size_t Released() const { return released_; }  // whole bytes handed on by Release

  // Hands the whole bytes before byte `end` to `drain` and forgets them; TakeBack can no
  // longer reach them.
  void Release(size_t end, StreamDrain& drain) {
    if (end <= released_) return;
    const size_t count = end - released_;
    drain.Take(out_.data() + base_, count);
    out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(base_),
               out_.begin() + static_cast<std::ptrdiff_t>(base_ + count));
    released_ = end;
  }

  // Takes back every bit from `position` on and returns them, one per byte, so that an
  // earlier stretch can be rewritten and the rest put back behind it.
  std::vector<uint8_t> TakeBack(size_t position);

  // The end marker: a 1-bit, then 0-bits up to the end of the byte.
  void PutEndMarker() {
    Put(1, 1);
    if (count_ > 0) Put(0, 8 - count_);
  }

 private:
  std::vector<uint8_t>& out_;
  const size_t base_;
  size_t released_ = 0;
  uint64_t accumulator_ = 0;
  unsigned count_ = 0;
};

// One item as a parser picks it: a literal (length 1, `distance` holds the byte) or a match.
struct Item {
  uint16_t length;
  uint16_t distance;
};

// Codes items with the adaptive tree, updating it exactly as the decoder will. The last few
// items are held back until Finish, so that the stream's ending can still be chosen: a
// decoder that follows the format to the letter decodes one surplus symbol from a lone
// final 0x80 when the root's 1-branch is a leaf, and Finish re-parses the held items to
// avoid that ending.
class ItemCoder {
 public:
  static constexpr unsigned kHeldItems = 8;

  explicit ItemCoder(std::vector<uint8_t>& out) : bits_(out) { tree_.InitTree(); }

  void PutLiteral(uint8_t byte) { Hold({1, byte}); }
  void PutMatch(unsigned length, unsigned distance) {
    Hold({static_cast<uint16_t>(length), static_cast<uint16_t>(distance)});
  }

  // Codes the held items and the end marker. `text` is the parsed WindowedText; without
  // `avoidLoneMarker` the items go out as the parser picked them (for tests of the decoder).
  void Finish(TextView text, bool avoidLoneMarker = true);

  // From now on the stream goes to `drain` as it is coded, and the text before the coded
  // position is no longer read except near the end (see Drain).
  void SetDrain(StreamDrain* drain) { drain_ = drain; }

  // The tree as it stands after all items but the last kHeldItems.
  const AdaptiveTree& Tree() {
    CodeAllBut(kHeldItems);
    return tree_;
  }

 private:
  // Items wait in batches, which costs less per item than a ring; the last kHeldItems of a
  // batch wait for the next one.
  void Hold(Item item) {
    pending_[pendingCount_++] = item;
    if (pendingCount_ == kPendingItems) CodeAllBut(kHeldItems);
  }

  void CodeAllBut(unsigned keep) {
    if (pendingCount_ <= keep) return;
    const unsigned coded = pendingCount_ - keep;
    for (unsigned i = 0; i < coded; ++i) Code(pending_[i]);
    std::copy(pending_ + coded, pending_ + pendingCount_, pending_);
    pendingCount_ = keep;
    if (drain_ != nullptr && position_ >= nextDrain_) Drain();
  }

  // Hands on the stream up to the oldest recent match, which ShiftByAnotherDistance may still
  // rewrite, but keeps no more than kMaxKept bytes: a match older than that stays as it is.
  void Drain();

  void Code(Item item) {
    if (item.length == 1) {
      PutSymbol(item.distance);
    } else {
      PutSymbol(static_cast<unsigned>(MatchSymbolOf(item.length)));
      recent_[recentCount_++ % kRecentMatches] = {bits_.Position(), position_, item};
      PutDistance(item.distance);
    }
    position_ += item.length;
  }

  void PutDistance(unsigned distance) {
    const unsigned upper = distance >> 6;
    bits_.Put(kDistance.codeOfUpper[upper], kDistance.codeLengthOfUpper[upper]);
    bits_.Put(distance & 63u, 6);
  }

  // The last resort against a lone marker ending: another distance for one of the recent
  // matches, whose code has another length, moves the end without touching the tree.
  bool ShiftByAnotherDistance(TextView text);

  void PutSymbol(unsigned symbol) {
    uint32_t code = 0;
    unsigned length = 0;
    unsigned node = tree_.ParentTable[symbol + kNodeCount];
    while (node != kRoot) {
      const unsigned parent = tree_.ParentTable[node];
      code |= (node - tree_.ChildTable[parent]) << length;
      ++length;
      node = parent;
    }
    bits_.Put(code, length);
    tree_.UpdateTree(static_cast<int>(symbol));
  }

  AdaptiveTree tree_{};
  BitWriter bits_;
  static constexpr unsigned kPendingItems = 64;
  Item pending_[kPendingItems]{};
  unsigned pendingCount_ = 0;

  struct CodedMatch {
    size_t distanceAt;  // bit position of its distance code
    size_t position;    // in the WindowedText
    Item item;
  };
  static constexpr unsigned kRecentMatches = 256;
  CodedMatch recent_[kRecentMatches]{};
  size_t recentCount_ = 0;
  size_t position_ = kRingSize;  // of the next item coded

  static constexpr size_t kDrainEvery = size_t{1} << 20;  // text bytes
  static constexpr size_t kMaxKept = size_t{4} << 20;     // stream bytes
  StreamDrain* drain_ = nullptr;
  size_t nextDrain_ = kDrainEvery;
};

// Replaces `tail`, the last items of a stream, by items covering the same bytes (those
// that end at text.size()) when the stream would otherwise end on a byte boundary with the
// root's 1-branch a leaf. `tree` and `bitPhase` (bits written mod 8) are the state before
// the tail. Returns false, leaving `tail` alone, when its small search finds no way out.
bool AvoidLoneMarkerEnding(const AdaptiveTree& tree, unsigned bitPhase,
                           TextView text, std::vector<Item>& tail);

// The ring's initial fill as a linear prefix of kRingSize bytes, then the data.
std::vector<uint8_t> WindowedText(const uint8_t* data, size_t size);
// Writes that prefix (kRingSize bytes).
void FillTextPrefix(uint8_t* prefix);

// The current code length of a symbol (the depth of its leaf).
unsigned CodeLengthOf(const AdaptiveTree& tree, unsigned symbol);

inline unsigned DistanceCodeLength(unsigned distance) {
  return kDistance.codeLengthOfUpper[distance >> 6] + 6u;
}

// Parsers over WindowedText: each codes every byte after the prefix.
void ParseGreedy(TextView text, unsigned maxChain, bool lazy, ItemCoder& coder);
void ParseOptimal(TextView text, unsigned maxChain, ItemCoder& coder);

// LzhEncode with the ending repair selectable: tests build streams that end in a lone
// marker byte with `avoidLoneMarker` false, to exercise the decoder's guard.
std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, int level, bool avoidLoneMarker);

// LzhEncode of a text laid out as WindowedText gives it, with the stream handed to `drain`
// as it is coded: the same stream, unless a repair of its ending would have had to rewrite
// more than the last few MiB (then that repair is not made, and the stream still decodes).
// The memory it needs does not grow with the text; the text before the coded position is
// read again only for such a repair.
void EncodeToDrain(TextView text, int level, StreamDrain& drain);

}  // namespace lzh
