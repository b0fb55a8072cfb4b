// The member stream decoder and its buffered input and output.
//
// Bit reader rules (the stream's end depends on every one of them):
// - BitBuffer holds at most 15 valid bits at its top; the next bit is its top bit. Here it
//   sits in the upper half of a 32-bit register, so the low half is always zero and the
//   16-bit values of the format read as value << 16.
// - A refill happens before a read exactly when fewer than 8 bits are held, and adds one
//   byte. When the input has no byte left, EndOfInput is set and a 0 byte is used instead;
//   the count still grows by 8.
// - After every bit of a symbol code: EndOfInput with an empty BitBuffer means the input ran
//   out inside a code, and the stream ends there. After every item: EndOfInput with
//   BitBuffer exactly 0x8000 means the end marker (a 1-bit then 0-bits) is all that is left.
//   Both are the ordinary ends of a stream and end the loop by its result, not by an exception.
// - A stream whose last item ends on a byte boundary holds the marker as the whole byte 0x80.
//   Its 1-bit is read before the input is found empty; when the root's 1-branch is a leaf
//   that bit alone would decode one more symbol and append bytes that were never encoded.
//   The decoder therefore checks, before such a symbol, whether the input really ends after
//   the marker byte (see MarkerEndsInput).
//
// Read and write procedures are called once per buffer, never per byte. A full output buffer
// is handed over only when the next byte arrives, so the last full buffer goes out through
// FlushOutput, which runs exactly once per call.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "lzh/lzh.h"
#include "lzh/lzh_format.h"
#include "lzh/lzh_stream.h"

namespace {

using lzh::kNodeCount;
using lzh::kRingSize;
using lzh::kRoot;

constexpr uint32_t kMarkerOnly = 0x80000000u;  // BitBuffer 0x8000 in the upper half
// Unread input bytes the fast loop needs before an item: one 8-byte refill load.
constexpr unsigned kFastInputMargin = 8;

// The code tree, and a table that decodes its first kTableBits levels in one step.
//
// Walking the tree costs one dependent load per bit, and the frequency update one more per
// level on the way back up; both chains are about as long as the code. The table resolves
// the first kTableBits bits of a code at once: its entry holds the value a bit-by-bit walk
// would hold after them (a leaf, or the inner node to go on from) and how many bits that
// took. For the update, every node within those levels carries its heap index (1 for the
// root, 2h and 2h + 1 for the nodes under the node of index h, that is the code bits read so
// far behind a leading 1), and nodeAt_ maps heap indices back to nodes. Climbing from such a
// node to the root is then h, h / 2, ..., 1: every node on the way is found from the code
// alone, not from the node below it, so the loads of one climb no longer wait on each
// other. Below the table's levels the climb uses the parent links, or the path the walk
// down just recorded.
//
// An exchange moves two subtrees. The table and the heap indices describe only the top
// levels, so they change only when one of the two exchanged nodes lies there. When one does,
// the part of the table under that node is filled again from the tree (a node at depth d
// owns 2^(kTableBits - d) entries). Nearly all exchanges happen among the leaves and their
// parents, seven to ten levels down: with six levels in the table about 3 symbols in 100
// cause such a fill on real data. With eight or ten levels the table would resolve nearly
// every code at once, but the exchanges among the frequent symbols would then rewrite it
// for every second symbol, which costs more than the walk it saves.
#if defined(__GNUC__)
#define SFX_NOINLINE __attribute__((noinline))
#else
#define SFX_NOINLINE
#endif

class DecodingTree {
 public:
  static constexpr unsigned kTableBits = 6;
  static constexpr unsigned kDepthShift = 10;  // entry: value | bits << kDepthShift
  static constexpr unsigned kValueMask = (1u << kDepthShift) - 1;
  static constexpr unsigned kMaxPath = 32;     // a code is at most 21 bits long

  void Init() {
    tree_.InitTree();
    FillTable();
  }

  const uint16_t* Child() const { return tree_.ChildTable; }
  unsigned Entry(unsigned index) const { return table_[index]; }
  unsigned Root() const { return tree_.ChildTable[kRoot]; }

  // The update for a symbol found bit by bit, and for any symbol that comes when the tree is
  // due to be rebuilt (the path walked down is then no longer the path up).
  SFX_NOINLINE void Update(unsigned symbol) {
    if (tree_.FreqTable[kRoot] == lzh::kFrequencyLimit) Rebuild();
    ++tree_.FreqTable[kRoot];  // the root never moves: the sentinel above it is larger
    ClimbByParents(tree_.ParentTable[symbol + kNodeCount]);
  }

  // The update for a symbol found through the table: `heap` is the heap index of the node
  // the table reached, `below` the nodes entered after it, `count` of them.
  void Update(unsigned symbol, unsigned heap, const uint16_t* below, unsigned count) {
    if (tree_.FreqTable[kRoot] == lzh::kFrequencyLimit) {
      Update(symbol);
      return;
    }
    uint16_t* const freq = tree_.FreqTable;
    ++freq[kRoot];
    while (count > 0) {
      unsigned x = below[--count];
      const unsigned k = ++freq[x];
      if (freq[x + 1] < k) {
        ExchangeAndClimb(x, k);
        return;
      }
    }
    ClimbByHeap(heap);
  }

 private:
  void Rebuild() {
    tree_.RebuildTree();
    FillTable();
  }

  // From node x up to the root's children, x's frequency first: by the parent links below
  // the table's levels, by heap index within them. The root is counted by the caller.
  void ClimbByParents(unsigned x) {
    uint16_t* const freq = tree_.FreqTable;
    unsigned heap;
    while ((heap = heapIndex_[x]) == 0) {
      const unsigned k = ++freq[x];
      if (freq[x + 1] < k) x = Exchange(x, k);
      x = tree_.ParentTable[x];
    }
    ClimbByHeap(heap);
  }

  // The climb from the node of that heap index up to the root's children. Always kTableBits
  // steps, whatever the node's depth: the steps at and above the root (heap index 1 and 0)
  // count into the spare counter. A loop that ends at the root would end at a different
  // step for nearly every symbol, and the processor would guess wrong.
  void ClimbByHeap(unsigned heap) {
    uint16_t* const freq = tree_.FreqTable;
    for (unsigned step = 0; step < kTableBits; ++step) {
      unsigned x = nodeAt_[heap >> step];
      const unsigned k = ++freq[x];
      if (freq[x + 1] < k) {
        ExchangeAndClimb(x, k);
        return;
      }
    }
  }

  // Kept out of line, like the careful item decoder: inlined at each place a climb may
  // exchange, it made the decoding loop 17 KB long, too long for the processor's cache of
  // decoded instructions, and the decoder about 4 % slower on real data, although every
  // exchange now costs a call.
  SFX_NOINLINE void ExchangeAndClimb(unsigned x, unsigned k) {
    ClimbByParents(tree_.ParentTable[Exchange(x, k)]);
  }

  // Node x has just grown to k and passed its right neighbour: it changes place with the last
  // node still below k. Returns where x's subtree now is.
  unsigned Exchange(unsigned x, unsigned k) {
    uint16_t* const freq = tree_.FreqTable;
    uint16_t* const child = tree_.ChildTable;
    uint16_t* const parent = tree_.ParentTable;
    // The table is sorted, so the entries below k among the next few are a count to skip,
    // found without a branch per entry; the sentinels keep the lookahead sorted at the end.
    unsigned l = x + 1;
    for (;;) {
      unsigned below = 0;
      for (unsigned n = 1; n <= lzh::kScanAhead; ++n) below += freq[l + n] < k;
      l += below;
      if (below < lzh::kScanAhead) break;
    }
    freq[x] = freq[l];
    freq[l] = static_cast<uint16_t>(k);
    const unsigned i = child[x];
    const unsigned j = child[l];
    parent[i] = static_cast<uint16_t>(l);
    parent[SecondChild(i)] = static_cast<uint16_t>(l);
    parent[j] = static_cast<uint16_t>(x);
    parent[SecondChild(j)] = static_cast<uint16_t>(x);
    const unsigned hx = heapIndex_[x];
    const unsigned hl = heapIndex_[l];
    if ((hx | hl) == 0) {
      child[l] = static_cast<uint16_t>(i);
      child[x] = static_cast<uint16_t>(j);
    } else {
      ExchangeWithinTable(x, l, hx, hl);
    }
    return l;
  }

  // Both subtrees leave their places: what they had within the table's levels is forgotten,
  // then the two places are filled from what arrived there.
  SFX_NOINLINE void ExchangeWithinTable(unsigned x, unsigned l, unsigned hx, unsigned hl) {
    uint16_t* const child = tree_.ChildTable;
    const unsigned i = child[x];
    const unsigned j = child[l];
    if (hx != 0 && i < kNodeCount) Forget(i);
    if (hl != 0 && j < kNodeCount) Forget(j);
    child[l] = static_cast<uint16_t>(i);
    child[x] = static_cast<uint16_t>(j);
    if (hx != 0) Fill(hx, DepthOf(hx), j);
    if (hl != 0) Fill(hl, DepthOf(hl), i);
  }

  // v + 1 for an inner node's child value v, the spare parent entry for a leaf's; without a
  // branch, which would go either way at random.
  static unsigned SecondChild(unsigned v) {
    const unsigned inner = 0u - static_cast<unsigned>(v < kNodeCount);  // all ones or 0
    return ((v + 1) & inner) | (lzh::kSpareParent & ~inner);
  }

  static unsigned DepthOf(unsigned heap) { return 31 - static_cast<unsigned>(__builtin_clz(heap)); }

  // Takes the heap indices from the nodes under a node whose child value is v.
  void Forget(unsigned v) {
    if (v >= kNodeCount) return;
    for (unsigned node = v; node <= v + 1; ++node) {
      if (heapIndex_[node] == 0) continue;
      heapIndex_[node] = 0;
      Forget(tree_.ChildTable[node]);
    }
  }

  // The node of heap index `heap` at `depth` holds child value v: fills its part of the table
  // and numbers the nodes under it down to the table's last level.
  void Fill(unsigned heap, unsigned depth, unsigned v) {
    if (v >= kNodeCount || depth == kTableBits) {
      FillEntries(heap, depth, v);
      return;
    }
    for (unsigned bit = 0; bit < 2; ++bit) {
      const unsigned node = v + bit;
      const unsigned h = 2 * heap + bit;
      heapIndex_[node] = static_cast<uint16_t>(h);
      nodeAt_[h] = static_cast<uint16_t>(node);
      Fill(h, depth + 1, tree_.ChildTable[node]);
    }
  }

  // The entries whose first bits are the code of that heap index all hold v.
  void FillEntries(unsigned heap, unsigned depth, unsigned v) {
    const unsigned shift = kTableBits - depth;
    uint16_t* const first = table_ + ((heap - (1u << depth)) << shift);
    const uint16_t entry = static_cast<uint16_t>(v | depth << kDepthShift);
    if (shift < 2) {
      first[0] = entry;
      first[shift] = entry;
      return;
    }
    const uint64_t four = entry * 0x0001000100010001ull;
    for (unsigned n = 0; n < (1u << shift); n += 4) std::memcpy(first + n, &four, sizeof four);
  }

  void FillTable() {
    std::fill(heapIndex_, heapIndex_ + kNodeCount, 0);
    heapIndex_[kRoot] = 1;
    nodeAt_[0] = nodeAt_[1] = lzh::kSpareCounter;
    Fill(1, 0, tree_.ChildTable[kRoot]);
  }

  lzh::AdaptiveTree tree_{};
  uint16_t table_[1u << kTableBits] = {};
  uint16_t nodeAt_[2u << kTableBits] = {};
  uint16_t heapIndex_[kNodeCount] = {};  // 0: below the table's levels
};

static_assert(DecodingTree::kTableBits <= 15, "heap indices are 16-bit");
static_assert(kNodeCount + lzh::kSymbolCount <= (1u << DecodingTree::kDepthShift), "entry values fit");

class Decoder {
 public:
  Decoder(const lzh::StreamProcs& procs, uint16_t inputSize, uint16_t outputSize)
      : procs_(procs),
        inputSize_(inputSize),
        outputSize_(outputSize),
        blocks_(std::max(1u, 32768u / outputSize)),
        input_(new uint8_t[inputSize]),
        window_(new uint8_t[kRingSize + blocks_ * outputSize + kSlack]) {}

  void DecodeGuarded() {
    try {
      DecodeLoop();
    } catch (...) {
      // A failure of either procedure ends the stream as quietly as its ordinary end: the
      // final flush hands over what was decoded, and the client knows what went wrong.
    }
  }

  void FlushOutput() {
    uint16_t written = 0;
    procs_.write(procs_.context, blockStart_, outputCount_, written);
  }

 private:
  // Room behind the last block for one match that runs past it, copied 8 bytes at a time.
  static constexpr unsigned kSlack = lzh::kMaxMatch + 16;

  // Yields the next byte, or -1 when the read procedure delivers none.
  int FetchInputByte() {
    if (inputPos_ < inputCount_) return input_[inputPos_++];
    if (!RefillInputBuffer()) return -1;
    return input_[inputPos_++];
  }

  bool RefillInputBuffer() {
    uint16_t delivered = 0;
    inputPos_ = inputCount_ = 0;
    procs_.read(procs_.context, input_.get(), inputSize_, delivered);
    inputCount_ = std::min(delivered, inputSize_);
    return inputCount_ > 0;
  }

  // Before a symbol that starts with BitBuffer 0x8000 and 8 bits held (exactly the byte 0x80,
  // unread): if the input ends here, that byte is the end marker and no symbol follows. The
  // read procedure is asked now instead of one bit later; nothing happens in between.
  bool MarkerEndsInput() {
    if (inputPos_ < inputCount_) return false;
    return !RefillInputBuffer();
  }

  // Decoded bytes go to one linear window: the 4096 bytes before the current block (the
  // ring's content, so matches copy from plain addresses), then blocks_ output blocks.
  // Every block is handed to the write procedure where it lies; only when the last block
  // is used up do the window's last 4096 bytes move back to the front.
  //
  // Hands over the full block at blockStart_ (the byte at `out` has arrived, or is about
  // to) and returns `out` for the next block's start.
  uint8_t* HandOverBlock(uint8_t* out) {
    outputCount_ = outputSize_;  // stays full if the write procedure fails: the flush repeats it
    uint16_t written = 0;
    procs_.write(procs_.context, blockStart_, outputSize_, written);
    outputCount_ = 0;
    blockStart_ += outputSize_;
    if (blockStart_ + outputSize_ > window_.get() + kRingSize + blocks_ * outputSize_) {
      uint8_t* const keep = blockStart_ - kRingSize;
      const size_t shift = static_cast<size_t>(keep - window_.get());
      std::memmove(window_.get(), keep, static_cast<size_t>(out - keep));
      blockStart_ -= shift;
      out -= shift;
    }
    return out;
  }

  // The state that changes on every symbol, kept in locals by the loops that use it.
  struct HotState {
    uint32_t bitBuffer;  // BitBuffer in the upper half; the lower half stays 0
    unsigned bitCount;
    bool endOfInput;
    uint8_t* out;
  };

  void DecodeLoop();
  void DecodeItemsFast(HotState& state);
  SFX_NOINLINE bool DecodeItemCarefully(HotState& state);
  void Refill(HotState& state);
  unsigned ReadBit(HotState& state);
  void StoreOutputByte(HotState& state, uint8_t byte);

  lzh::StreamProcs procs_;
  uint16_t inputSize_;
  uint16_t outputSize_;
  unsigned blocks_;
  std::unique_ptr<uint8_t[]> input_;
  std::unique_ptr<uint8_t[]> window_;
  uint8_t* blockStart_ = nullptr;
  uint16_t inputCount_ = 0;
  uint16_t inputPos_ = 0;
  uint16_t outputCount_ = 0;
  DecodingTree tree_;
};

void Decoder::DecodeLoop() {
  tree_.Init();
  // The ring starts as 4036 spaces at positions 0..4035 and zeros at 4036..4095, and the
  // first byte goes to 4036: seen from there, 60 zeros then 4036 spaces lie behind it.
  uint8_t* const window = window_.get();
  std::fill(window, window + lzh::kMaxMatch, 0);
  std::fill(window + lzh::kMaxMatch, window + kRingSize, lzh::kRingFill);
  blockStart_ = window + kRingSize;
  HotState state{0, 0, false, blockStart_};
  for (;;) {
    if (!state.endOfInput && inputCount_ - inputPos_ >= static_cast<int>(kFastInputMargin)) DecodeItemsFast(state);
    if (DecodeItemCarefully(state)) break;
  }
  outputCount_ = static_cast<uint16_t>(state.out - blockStart_);
}

inline void Decoder::Refill(HotState& state) {
  int byte = FetchInputByte();
  if (byte < 0) {
    state.endOfInput = true;
    byte = 0;
  }
  state.bitBuffer |= static_cast<uint32_t>(byte) << (24 - state.bitCount);
  state.bitCount += 8;
}

inline unsigned Decoder::ReadBit(HotState& state) {
  if (state.bitCount < 8) Refill(state);
  const unsigned bit = state.bitBuffer >> 31;
  state.bitBuffer <<= 1;
  --state.bitCount;
  return bit;
}

inline void Decoder::StoreOutputByte(HotState& state, uint8_t byte) {
  if (state.out == blockStart_ + outputSize_) state.out = HandOverBlock(state.out);
  *state.out++ = byte;
}

// One item by the letter of the bit reader rules, with both end checks. Used where the input
// buffer is nearly used up, and wherever the input has run out. True when the stream ended.
bool Decoder::DecodeItemCarefully(HotState& state) {
  // The read procedure may fail: the final flush must then see every byte stored so far.
  outputCount_ = static_cast<uint16_t>(state.out - blockStart_);
  // DecodeSymbol; its first bit would refill now anyway.
  if (state.bitCount < 8) Refill(state);
  const uint16_t* const child = tree_.Child();
  unsigned x = tree_.Root();
  if (state.bitCount == 8 && state.bitBuffer == kMarkerOnly && !state.endOfInput &&
      child[x + 1] >= kNodeCount) {
    if (MarkerEndsInput()) return true;
  }
  do {
    x = child[x + ReadBit(state)];
    if (state.endOfInput && state.bitBuffer == 0) return true;  // the input ran out inside a code
  } while (x < kNodeCount);
  const unsigned symbol = x - kNodeCount;
  tree_.Update(symbol);

  if (symbol < 256) {
    StoreOutputByte(state, static_cast<uint8_t>(symbol));
  } else {
    // DecodeDistance: eight bits index the prefix tables, then the rest of the 6 plain bits.
    if (state.bitCount < 8) Refill(state);
    const unsigned b = state.bitBuffer >> 24;
    state.bitBuffer <<= 8;
    state.bitCount -= 8;
    unsigned v = b;
    for (unsigned n = lzh::kDistance.prefixLength[b] - 2u; n > 0; --n) v = (v << 1) | ReadBit(state);
    const unsigned back = ((unsigned{lzh::kDistance.upper[b]} << 6) | (v & 63)) + 1;
    // Byte by byte, so that a source overlapping the bytes being written repeats them.
    for (unsigned k = lzh::MatchLengthOf(static_cast<int>(symbol)); k > 0; --k) {
      if (state.out == blockStart_ + outputSize_) state.out = HandOverBlock(state.out);
      *state.out = state.out[-static_cast<ptrdiff_t>(back)];
      ++state.out;
    }
  }
  return state.endOfInput && state.bitBuffer == kMarkerOnly;
}

// For a match distance d under 8: the largest multiple of d not above 8.
constexpr uint8_t kPatternStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
}

// Items decoded from a 64-bit bit container while the input buffer holds at least
// kFastInputMargin unread bytes. There the input cannot run out inside an item, so the end
// checks cannot fire and the moment a byte is taken from the buffer changes nothing; only
// the state at the exit must match the careful reader's. That state follows from the bits
// consumed: after an item, whose last read is always a single bit, the careful reader holds
// between 7 and 14 bits, the one count in that range that completes whole bytes.
//
// A symbol code is at most 21 bits (the tree is a Huffman tree whose root stays at or below
// 0x8000, and a depth of 22 would need a weight of at least 46368), a distance 14 bits, so
// one refill to at least 56 bits covers an item.
//
// A full block is handed over after the item whose bytes passed its end, not at the first
// byte past it: no read procedure call comes in between, so the procedures see the same.
void Decoder::DecodeItemsFast(HotState& state) {
  constexpr unsigned kTableBits = DecodingTree::kTableBits;
  const uint8_t* p = input_.get() + inputPos_;
  const uint8_t* const lastStart = input_.get() + inputCount_ - kFastInputMargin;
  uint64_t bits = static_cast<uint64_t>(state.bitBuffer) << 32;
  unsigned avail = state.bitCount;
  uint8_t* out = state.out;
  const uint8_t* blockEnd = blockStart_ + outputSize_;
  const uint16_t* const child = tree_.Child();
  uint16_t path[DecodingTree::kMaxPath];

  while (p <= lastStart) {
    // At least kTableBits bits are held before the refill (7 on entry, 21 after an item of
    // at most 35 bits), so the table is read from them: the refill's load from the input
    // and the table's load go on side by side instead of one after the other.
    const unsigned index = static_cast<unsigned>(bits >> (64 - kTableBits));
    const unsigned entry = tree_.Entry(index);
    bits |= LoadBigEndian64(p) >> avail;
    p += (63 - avail) >> 3;
    avail |= 56;

    unsigned x = entry & DecodingTree::kValueMask;
    const unsigned depth = entry >> DecodingTree::kDepthShift;
    const unsigned heap = (index | (1u << kTableBits)) >> (kTableBits - depth);
    bits <<= depth;
    avail -= depth;
    unsigned below = 0;
    while (x < kNodeCount) {
      const unsigned node = x + static_cast<unsigned>(bits >> 63);
      bits <<= 1;
      path[below++] = static_cast<uint16_t>(node);
      x = child[node];
    }
    avail -= below;
    const unsigned symbol = x - kNodeCount;
    tree_.Update(symbol, heap, path, below);

    if (symbol < 256) {
      *out++ = static_cast<uint8_t>(symbol);
    } else {
      const unsigned b = static_cast<unsigned>(bits >> 56);
      const unsigned codeLength = lzh::kDistance.prefixLength[b] + 6u;
      const unsigned low = static_cast<unsigned>(bits >> (64 - codeLength)) & 63;
      bits <<= codeLength;
      avail -= codeLength;
      const unsigned back = ((unsigned{lzh::kDistance.upper[b]} << 6) | low) + 1;
      const unsigned length = static_cast<unsigned>(lzh::MatchLengthOf(static_cast<int>(symbol)));
      const uint8_t* from = out - back;
      if (back >= 8) {
        // Each 8-byte step reads only bytes written before it; the last may run up to 15
        // bytes past the match, into room that the next bytes overwrite. Most matches are
        // short: two steps are taken whatever the length.
        std::memcpy(out, from, 8);
        std::memcpy(out + 8, from + 8, 8);
        for (unsigned k = 16; k < length; k += 8) std::memcpy(out + k, from + k, 8);
      } else {
        // A distance under 8 repeats a pattern of that many bytes. Copied byte by byte, each
        // byte would wait for the one just stored; instead 8 bytes of the pattern are built
        // once, in a register, and stored at every multiple of the distance that keeps the
        // 8 bytes in phase. The load takes bytes past the pattern too; the mask drops them
        // (little-endian: the first byte in memory is the register's lowest, as LoadBigEndian64
        // assumes too).
        uint64_t pattern;
        std::memcpy(&pattern, from, sizeof pattern);
        pattern &= ~uint64_t{0} >> (64 - 8 * back);
        for (unsigned period = back; period < 8; period *= 2) pattern |= pattern << (8 * period);
        const unsigned step = kPatternStep[back];
        for (unsigned k = 0; k < length; k += step) std::memcpy(out + k, &pattern, sizeof pattern);
      }
      out += length;
    }
    while (out > blockEnd) {
      out = HandOverBlock(out);
      blockEnd = blockStart_ + outputSize_;
    }
  }

  const unsigned held = 7 + ((avail + 1) & 7);  // 7..14, congruent to avail modulo 8
  p -= (avail - held) / 8;
  inputPos_ = static_cast<uint16_t>(p - input_.get());
  state.bitBuffer = static_cast<uint32_t>(bits >> 32) & (0xFFFFFFFFu << (32 - held));
  state.bitCount = held;
  state.out = out;
}

std::unique_ptr<Decoder> MakeDecoder(const lzh::StreamProcs& procs, uint16_t inputSize,
                                     uint16_t outputSize) {
  try {
    return std::make_unique<Decoder>(procs, inputSize, outputSize);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(kOutOfMemoryMessage);
  }
}

bool BufferSizeFits(uint16_t size) { return size >= lzh::kMinBufferSize && size <= lzh::kMaxBufferSize; }

}  // namespace

namespace lzh {

void DecodeStream(const StreamProcs& procs, uint16_t inputSize, uint16_t outputSize) {
  // The window is made of whole output blocks, so an empty one would divide by zero; the upper
  // bound keeps every count and position well inside 16 bits.
  if (!BufferSizeFits(inputSize) || !BufferSizeFits(outputSize))
    throw ECompress("buffer size out of range");
  std::unique_ptr<Decoder> decoder = MakeDecoder(procs, inputSize, outputSize);
  decoder->DecodeGuarded();
  decoder->FlushOutput();  // a failure here reaches the caller; the decoder is released anyway
}

}  // namespace lzh

namespace {

struct MemoryStream {
  const uint8_t* data;
  size_t size;
  size_t pos;
  std::vector<uint8_t>* output;
};

void ReadMemory(void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  auto& stream = *static_cast<MemoryStream*>(context);
  const size_t n = std::min<size_t>(requested, stream.size - stream.pos);
  std::copy(stream.data + stream.pos, stream.data + stream.pos + n, buffer);
  stream.pos += n;
  delivered = static_cast<uint16_t>(n);
}

void WriteMemory(void* context, const uint8_t* buffer, uint16_t count, uint16_t& written) {
  auto& stream = *static_cast<MemoryStream*>(context);
  stream.output->insert(stream.output->end(), buffer, buffer + count);
  written = count;
}

}  // namespace

std::vector<uint8_t> LzhDecodeBuffer(const uint8_t* data, size_t size) {
  std::vector<uint8_t> output;
  MemoryStream stream{data, size, 0, &output};
  lzh::DecodeStream({ReadMemory, WriteMemory, &stream}, lzh::kMaxBufferSize, lzh::kMaxBufferSize);
  return output;
}
