#include <gtest/gtest.h>

#include "bench/corpus.h"
#include "decode_harness.h"
#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Prefix(const Bytes& data, size_t size) { return Bytes(data.begin(), data.begin() + static_cast<ptrdiff_t>(size)); }

// Every level decodes exactly and no higher level grows the stream by more than 2 %. The
// highest level parses in passes of 512 positions that look 60 further: the short inputs end
// every way relative to those passes.
TEST(LzhEncode, EveryLevelDecodesExactly) {
  Bytes data = corpus::MakeExecutable(60000, 4);
  const Bytes text = corpus::MakeText(60000, 4);
  data.insert(data.end(), text.begin(), text.end());
  size_t previous = SIZE_MAX;
  for (int level = 1; level <= 9; ++level) {
    const Bytes stream = LzhEncode(data.data(), data.size(), level);
    EXPECT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), data) << level;
    EXPECT_LE(stream.size(), previous + previous / 50) << level;
    previous = stream.size();
  }
  for (size_t size = 400; size <= 2200; size += 7) {
    const Bytes stream = LzhEncode(data.data(), size, 9);
    ASSERT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), Prefix(data, size)) << size;
  }
}

// Handed out while it is coded, the stream is the same; random data outgrows what is kept
// for a late repair of the ending, text keeps its recent matches.
TEST(LzhEncode, DrainedStreamIsTheSameStream) {
  struct Collect : lzh::StreamDrain {
    Bytes out;
    int takes = 0;
    void Take(const uint8_t* bytes, size_t count) override { out.insert(out.end(), bytes, bytes + count), ++takes; }
    void Coded(size_t) override {}
  };
  for (corpus::Kind kind : {corpus::Kind::Random, corpus::Kind::Text}) {
    const Bytes data = corpus::Make(kind, 4600000, 3);
    Collect collect;
    lzh::EncodeToDrain(lzh::WindowedText(data.data(), data.size()), 1, collect);
    EXPECT_EQ(collect.out, LzhEncode(data.data(), data.size(), 1));
    EXPECT_GT(collect.takes, 3);
  }
}

Bytes DecodeUnguarded(const Bytes& stream) {
  DecodeSetup unguarded;
  unguarded.guardMarkerByte = false;
  return DecodePlain(stream, unguarded).output;
}

// A long run makes its length-60 match the root's 1-branch, and a stream whose last item ends
// on a byte boundary then carries the end marker as a lone 0x80 that a decoder without our
// guard reads as one more symbol. The encoder repairs such endings at every level (the stream
// built without the repair tells whether one was needed) at the cost of at most a byte, and
// leaves safe endings alone. Random inputs: fuzz target lzh_roundtrip; our decoder's stop at
// such a lone marker byte (read with the rest, alone, or followed by more): the corpus
// lone_marker* of lzh_decode.
TEST(LzhEnding, LongRunsEndSafelyAtEveryLevel) {
  for (int level = 1; level <= 9; ++level) {
    unsigned repaired = 0;
    for (size_t n = 20000; n < 20160; ++n) {
      Bytes data(n, 'z');
      data.insert(data.begin(), 'q');
      const Bytes stream = LzhEncode(data.data(), data.size(), level);
      const Bytes plain = lzh::EncodeStream(data.data(), data.size(), level, false);
      ASSERT_EQ(DecodeUnguarded(stream), data) << "level " << level << ", " << n;
      const bool safe = DecodeUnguarded(plain) == data;
      repaired += !safe;
      EXPECT_TRUE(safe ? stream == plain : plain.back() == 0x80 && stream.size() <= plain.size() + 1) << level;
    }
    EXPECT_GT(repaired, 0u) << "level " << level << ": no ending needed repair";
  }
}

}  // namespace
