// The encoder's endings: no stream may end in a lone marker byte while the root's 1-branch is
// a leaf, since a decoder that follows the format without our guard would decode one surplus
// symbol from it. The reference decoder runs with its guard off to play that decoder.
#include <gtest/gtest.h>

#include "bench/corpus.h"
#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "reference_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DecodeUnguarded(const Bytes& stream) {
  ReferenceOptions options;
  options.guardMarkerByte = false;
  return ReferenceDecode(stream, options).output;
}

struct EndingCount {
  unsigned repaired = 0;  // streams that needed a different ending
  unsigned total = 0;
};

// Checks one input at one level; the stream built without the repair tells whether the
// ending had to change. A safe ending is left exactly as the parser made it, and a repaired
// one costs at most a few bits.
void CheckEnding(const Bytes& data, int level, EndingCount& count) {
  const Bytes stream = LzhEncode(data.data(), data.size(), level);
  const Bytes plain = lzh::EncodeStream(data.data(), data.size(), level, false);
  ASSERT_EQ(DecodeUnguarded(stream), data) << "level " << level << ", " << data.size() << " bytes";
  ASSERT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), data) << level;
  ++count.total;
  if (DecodeUnguarded(plain) == data) {
    EXPECT_EQ(stream, plain) << level;
    return;
  }
  ++count.repaired;
  EXPECT_EQ(plain.back(), 0x80);
  EXPECT_LE(stream.size(), plain.size() + 1) << level;
}

Bytes RunAfter(uint8_t head, size_t n, uint8_t byte) {
  Bytes data(n, byte);
  data.insert(data.begin(), head);
  return data;
}

// The inputs that the decoder's guard test builds: one byte, then a long run of another.
TEST(LzhEnding, LongRunsEndSafelyAtEveryLevel) {
  for (int level = 1; level <= 9; ++level) {
    EndingCount count;
    for (size_t n = 20000; n < 20160; ++n) CheckEnding(RunAfter('q', n, 'z'), level, count);
    EXPECT_GT(count.repaired, 0u) << "level " << level << ": no ending needed repair";
  }
}

// Random bytes after a long run: the run's match still dominates the tree, and the tail's
// literals repeat nothing, so no other parse of the last items exists; an earlier match
// must change its distance instead.
TEST(LzhEnding, LiteralTailsAfterARun) {
  EndingCount count;
  for (size_t n = 20000; n < 20040; ++n) {
    for (size_t tail = 9; tail < 30; tail += 4) {
      Bytes data = RunAfter('q', n, 'z');
      const Bytes random = corpus::MakeRandom(tail, n * 31 + tail);
      data.insert(data.end(), random.begin(), random.end());
      CheckEnding(data, 1 + static_cast<int>(n % 9), count);
    }
  }
  EXPECT_GT(count.repaired, 5u) << count.total;
}

// Mixed inputs of random shape: runs of one byte (the case that skews the tree), random
// bytes, text, executable-like data, in pieces of random length; half of them end in a long
// run, which is where the risky endings come from.
Bytes MixedInput(corpus::Random& random) {
  Bytes data;
  const unsigned pieces = 1 + random.Below(5);
  for (unsigned i = 0; i <= pieces; ++i) {
    if (i == pieces) {
      if (random.Below(2) == 0) data.insert(data.end(), 10000 + random.Below(30000), static_cast<uint8_t>(random.Next()));
      break;
    }
    const size_t length = random.Below(4) == 0 ? random.Below(40000) : random.Below(3000);
    const uint64_t seed = random.Next();
    Bytes piece;
    switch (random.Below(5)) {
      case 0: piece = corpus::MakeText(length, seed); break;
      case 1: piece = corpus::MakeExecutable(length, seed); break;
      case 2: piece = corpus::MakeRandom(random.Below(300), seed); break;
      default: piece.assign(length, static_cast<uint8_t>(random.Below(4) == 0 ? 0 : random.Next())); break;
    }
    data.insert(data.end(), piece.begin(), piece.end());
  }
  return data;
}

TEST(LzhEnding, RandomInputsDecodeWithoutTheGuard) {
  corpus::Random random(2026);
  EndingCount count;
  for (int round = 0; round < 100; ++round) {
    const Bytes data = MixedInput(random);
    for (int level = 1; level <= 9; ++level) CheckEnding(data, level, count);
  }
  // Runs of every order of length, with a one-byte lead-in and without.
  for (size_t n = 1; n < 40000; n += 1 + random.Below(static_cast<uint32_t>(n / 16 + 4))) {
    const Bytes data = RunAfter(static_cast<uint8_t>(random.Next()), n, static_cast<uint8_t>(random.Next()));
    CheckEnding(data, 1 + static_cast<int>(random.Below(9)), count);
    CheckEnding(Bytes(n, 0), 1 + static_cast<int>(random.Below(9)), count);
  }
  EXPECT_GT(count.repaired, 10u) << count.total;
}

}  // namespace
