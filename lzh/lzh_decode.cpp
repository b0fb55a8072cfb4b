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

  void DecodeLoop();

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

  // The state that changes on every symbol lives in locals; the members are brought up to
  // date before every call that may raise, so that the final flush sees the right count.
  uint32_t bitBuffer = 0;
  unsigned bitCount = 0;
  bool endOfInput = false;
  unsigned ringPos = lzh::kRingStart;
  uint8_t* const outStart = output_.get();
  uint8_t* const outEnd = outStart + outputSize_;
  uint8_t* out = outStart;

  auto refill = [&] {
    int byte = FetchInputByte();
    if (byte < 0) {
      endOfInput = true;
      byte = 0;
    }
    bitBuffer |= static_cast<uint32_t>(byte) << (24 - bitCount);
    bitCount += 8;
  };
  auto readBit = [&] {
    if (bitCount < 8) refill();
    const unsigned bit = bitBuffer >> 31;
    bitBuffer <<= 1;
    --bitCount;
    return bit;
  };
  auto storeOutputByte = [&](uint8_t byte) {
    if (out == outEnd) {
      outputCount_ = static_cast<uint16_t>(out - outStart);
      HandOverFullBuffer();
      out = outStart;
    }
    *out++ = byte;
  };
  auto endOfCode = [&] {
    outputCount_ = static_cast<uint16_t>(out - outStart);
    throw ECompress("");
  };

  const uint16_t* const child = tree_.ChildTable;
  for (;;) {
    // DecodeSymbol
    if (bitCount < 8) refill();
    unsigned x = child[kRoot];
    if (bitCount == 8 && bitBuffer == kMarkerOnly && !endOfInput && child[x + 1] >= kNodeCount) {
      outputCount_ = static_cast<uint16_t>(out - outStart);
      if (MarkerEndsInput()) break;
    }
    do {
      x = child[x + readBit()];
      if (endOfInput && bitBuffer == 0) endOfCode();
    } while (x < kNodeCount);
    const unsigned symbol = x - kNodeCount;
    tree_.UpdateTree(symbol);

    if (symbol < 256) {
      storeOutputByte(static_cast<uint8_t>(symbol));
      RingBuffer[ringPos] = static_cast<uint8_t>(symbol);
      ringPos = (ringPos + 1) & kRingMask;
    } else {
      // DecodeDistance: eight bits index the prefix tables, then the rest of the 6 plain bits.
      if (bitCount < 8) refill();
      const unsigned b = bitBuffer >> 24;
      bitBuffer <<= 8;
      bitCount -= 8;
      unsigned v = b;
      for (unsigned n = lzh::kDistance.prefixLength[b] - 2u; n > 0; --n) v = (v << 1) | readBit();
      const unsigned distance = (unsigned{lzh::kDistance.upper[b]} << 6) | (v & 63);

      // Byte by byte, so that a source overlapping the bytes being written repeats them.
      unsigned from = (ringPos - distance - 1) & kRingMask;
      const unsigned length = lzh::MatchLengthOf(static_cast<int>(symbol));
      if (static_cast<unsigned>(outEnd - out) >= length) {
        for (unsigned k = 0; k < length; ++k) {
          const uint8_t byte = RingBuffer[from];
          from = (from + 1) & kRingMask;
          *out++ = byte;
          RingBuffer[ringPos] = byte;
          ringPos = (ringPos + 1) & kRingMask;
        }
      } else {
        for (unsigned k = 0; k < length; ++k) {
          const uint8_t byte = RingBuffer[from];
          from = (from + 1) & kRingMask;
          storeOutputByte(byte);
          RingBuffer[ringPos] = byte;
          ringPos = (ringPos + 1) & kRingMask;
        }
      }
    }
    if (endOfInput && bitBuffer == kMarkerOnly) break;
  }
  outputCount_ = static_cast<uint16_t>(out - outStart);
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
