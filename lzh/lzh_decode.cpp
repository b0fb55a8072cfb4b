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
//   out inside a code, and ECompress ends the loop. After every item: EndOfInput with
//   BitBuffer exactly 0x8000 means the end marker (a 1-bit then 0-bits) is all that is left.
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

LzhReadProcType LzhReadProc = nullptr;
LzhWriteProcType LzhWriteProc = nullptr;

namespace {

uint16_t InputSize = 1024;
uint16_t OutputSize = 1024;

uint16_t ClampBufferSize(uint16_t size) {
  return static_cast<uint16_t>(std::clamp<unsigned>(size, 16, 32768));
}

using lzh::kNodeCount;
using lzh::kRingMask;
using lzh::kRoot;

constexpr uint32_t kMarkerOnly = 0x80000000u;  // BitBuffer 0x8000 in the upper half
// Unread input bytes the fast loop needs before an item: one 8-byte refill load.
constexpr unsigned kFastInputMargin = 8;

class Decoder {
 public:
  Decoder(const lzh::StreamProcs& procs, uint16_t inputSize, uint16_t outputSize)
      : procs_(procs),
        inputSize_(inputSize),
        outputSize_(outputSize),
        input_(new uint8_t[inputSize]()),
        output_(new uint8_t[outputSize]()) {}

  void DecodeGuarded() {
    try {
      DecodeLoop();
    } catch (...) {
      // Running out of input inside a code is the ordinary end of many streams, and any
      // failure of the procedures ends the member the same quiet way.
    }
  }

  void FlushOutput() {
    uint16_t written = 0;
    procs_.write(procs_.context, output_.get(), outputCount_, written);
  }

 private:
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

  void HandOverFullBuffer() {
    outputCount_ = outputSize_;  // stays full if the write procedure fails: the flush repeats it
    uint16_t written = 0;
    procs_.write(procs_.context, output_.get(), outputSize_, written);
    outputCount_ = 0;
  }

  // The state that changes on every symbol, kept in locals by the loops that use it.
  struct HotState {
    uint32_t bitBuffer;  // BitBuffer in the upper half; the lower half stays 0
    unsigned bitCount;
    bool endOfInput;
    unsigned ringPos;
    uint8_t* out;
  };

  void DecodeLoop();
  void DecodeItemsFast(HotState& state);
  bool DecodeItemCarefully(HotState& state);
  void Refill(HotState& state);
  unsigned ReadBit(HotState& state);
  void StoreOutputByte(HotState& state, uint8_t byte);
  void CopyMatch(HotState& state, unsigned distance, unsigned length);

  lzh::StreamProcs procs_;
  uint16_t inputSize_;
  uint16_t outputSize_;
  std::unique_ptr<uint8_t[]> input_;
  std::unique_ptr<uint8_t[]> output_;
  uint16_t inputCount_ = 0;
  uint16_t inputPos_ = 0;
  uint16_t outputCount_ = 0;
  lzh::AdaptiveTree tree_{};
  uint8_t RingBuffer[lzh::kRingSize] = {};
};

void Decoder::DecodeLoop() {
  tree_.InitTree();
  std::fill(RingBuffer, RingBuffer + lzh::kRingStart, lzh::kRingFill);
  HotState state{0, 0, false, lzh::kRingStart, output_.get()};
  for (;;) {
    if (!state.endOfInput && inputCount_ - inputPos_ >= static_cast<int>(kFastInputMargin)) DecodeItemsFast(state);
    if (DecodeItemCarefully(state)) break;
  }
  outputCount_ = static_cast<uint16_t>(state.out - output_.get());
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
  if (state.out == output_.get() + outputSize_) {
    HandOverFullBuffer();
    state.out = output_.get();
  }
  *state.out++ = byte;
}

// Byte by byte, so that a source overlapping the bytes being written repeats them.
inline void Decoder::CopyMatch(HotState& state, unsigned distance, unsigned length) {
  unsigned from = (state.ringPos - distance - 1) & kRingMask;
  unsigned to = state.ringPos;
  uint8_t* out = state.out;
  if (static_cast<unsigned>(output_.get() + outputSize_ - out) >= length) {
    for (unsigned k = 0; k < length; ++k) {
      const uint8_t byte = RingBuffer[from];
      from = (from + 1) & kRingMask;
      *out++ = byte;
      RingBuffer[to] = byte;
      to = (to + 1) & kRingMask;
    }
    state.out = out;
  } else {
    for (unsigned k = 0; k < length; ++k) {
      const uint8_t byte = RingBuffer[from];
      from = (from + 1) & kRingMask;
      StoreOutputByte(state, byte);
      RingBuffer[to] = byte;
      to = (to + 1) & kRingMask;
    }
  }
  state.ringPos = to;
}

// One item by the letter of the bit reader rules, with both end checks. Used where the input
// buffer is nearly used up, and wherever the input has run out. True when the stream ended.
bool Decoder::DecodeItemCarefully(HotState& state) {
  // The read procedure may fail: the final flush must then see every byte stored so far.
  outputCount_ = static_cast<uint16_t>(state.out - output_.get());
  // DecodeSymbol; its first bit would refill now anyway.
  if (state.bitCount < 8) Refill(state);
  const uint16_t* const child = tree_.ChildTable;
  unsigned x = child[kRoot];
  if (state.bitCount == 8 && state.bitBuffer == kMarkerOnly && !state.endOfInput &&
      child[x + 1] >= kNodeCount) {
    if (MarkerEndsInput()) return true;
  }
  do {
    x = child[x + ReadBit(state)];
    if (state.endOfInput && state.bitBuffer == 0) {
      outputCount_ = static_cast<uint16_t>(state.out - output_.get());
      throw ECompress("");
    }
  } while (x < kNodeCount);
  const unsigned symbol = x - kNodeCount;
  tree_.UpdateTree(symbol);

  if (symbol < 256) {
    StoreOutputByte(state, static_cast<uint8_t>(symbol));
    RingBuffer[state.ringPos] = static_cast<uint8_t>(symbol);
    state.ringPos = (state.ringPos + 1) & kRingMask;
  } else {
    // DecodeDistance: eight bits index the prefix tables, then the rest of the 6 plain bits.
    if (state.bitCount < 8) Refill(state);
    const unsigned b = state.bitBuffer >> 24;
    state.bitBuffer <<= 8;
    state.bitCount -= 8;
    unsigned v = b;
    for (unsigned n = lzh::kDistance.prefixLength[b] - 2u; n > 0; --n) v = (v << 1) | ReadBit(state);
    const unsigned distance = (unsigned{lzh::kDistance.upper[b]} << 6) | (v & 63);
    CopyMatch(state, distance, static_cast<unsigned>(lzh::MatchLengthOf(static_cast<int>(symbol))));
  }
  return state.endOfInput && state.bitBuffer == kMarkerOnly;
}

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
void Decoder::DecodeItemsFast(HotState& state) {
  const uint8_t* p = input_.get() + inputPos_;
  const uint8_t* const lastStart = input_.get() + inputCount_ - kFastInputMargin;
  uint64_t bits = static_cast<uint64_t>(state.bitBuffer) << 32;
  unsigned avail = state.bitCount;
  unsigned ringPos = state.ringPos;
  uint8_t* out = state.out;
  uint8_t* const outEnd = output_.get() + outputSize_;
  const uint16_t* const child = tree_.ChildTable;

  while (p <= lastStart) {
    bits |= LoadBigEndian64(p) >> avail;
    p += (63 - avail) >> 3;
    avail |= 56;

    unsigned x = child[kRoot];
    do {
      x = child[x + static_cast<unsigned>(bits >> 63)];
      bits <<= 1;
      --avail;
    } while (x < kNodeCount);
    const unsigned symbol = x - kNodeCount;
    tree_.UpdateTree(symbol);

    if (symbol < 256) {
      if (out == outEnd) {
        outputCount_ = outputSize_;
        HandOverFullBuffer();
        out = output_.get();
      }
      *out++ = static_cast<uint8_t>(symbol);
      RingBuffer[ringPos] = static_cast<uint8_t>(symbol);
      ringPos = (ringPos + 1) & kRingMask;
    } else {
      const unsigned b = static_cast<unsigned>(bits >> 56);
      const unsigned codeLength = lzh::kDistance.prefixLength[b] + 6u;
      const unsigned low = static_cast<unsigned>(bits >> (64 - codeLength)) & 63;
      bits <<= codeLength;
      avail -= codeLength;
      const unsigned distance = (unsigned{lzh::kDistance.upper[b]} << 6) | low;
      HotState copy{0, 0, false, ringPos, out};
      CopyMatch(copy, distance, static_cast<unsigned>(lzh::MatchLengthOf(static_cast<int>(symbol))));
      ringPos = copy.ringPos;
      out = copy.out;
    }
  }

  const unsigned held = 7 + ((avail + 1) & 7);  // 7..14, congruent to avail modulo 8
  p -= (avail - held) / 8;
  inputPos_ = static_cast<uint16_t>(p - input_.get());
  state.bitBuffer = static_cast<uint32_t>(bits >> 32) & (0xFFFFFFFFu << (32 - held));
  state.bitCount = held;
  state.ringPos = ringPos;
  state.out = out;
}

std::unique_ptr<Decoder> MakeDecoder(const lzh::StreamProcs& procs, uint16_t inputSize,
                                     uint16_t outputSize) {
  try {
    return std::make_unique<Decoder>(procs, inputSize, outputSize);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Speicher reicht nicht aus");
  }
}

void CallGlobalRead(void*, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  LzhReadProc(buffer, requested, delivered);
}

void CallGlobalWrite(void*, const uint8_t* buffer, uint16_t count, uint16_t& written) {
  LzhWriteProc(buffer, count, written);
}

}  // namespace

void SetInputBufferSize(uint16_t size) { InputSize = ClampBufferSize(size); }
void SetOutputBufferSize(uint16_t size) { OutputSize = ClampBufferSize(size); }
uint16_t InputBufferSize() { return InputSize; }
uint16_t OutputBufferSize() { return OutputSize; }

namespace lzh {

void DecodeStream(const StreamProcs& procs, uint16_t inputSize, uint16_t outputSize) {
  std::unique_ptr<Decoder> decoder = MakeDecoder(procs, inputSize, outputSize);
  decoder->DecodeGuarded();
  decoder->FlushOutput();  // a failure here reaches the caller; the decoder is released anyway
}

}  // namespace lzh

void LzhDecode() {
  lzh::DecodeStream({CallGlobalRead, CallGlobalWrite, nullptr}, InputSize, OutputSize);
}

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
  lzh::DecodeStream({ReadMemory, WriteMemory, &stream}, 32768, 32768);
  return output;
}
