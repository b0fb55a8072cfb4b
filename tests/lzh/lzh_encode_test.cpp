#include <gtest/gtest.h>

#include "bench/corpus.h"
#include "decode_harness.h"
#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "reference_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RoundTrip(const Bytes& data, size_t size, int level = kLzhDefaultLevel) {
  const Bytes stream = LzhEncode(data.data(), size, level);
  return LzhDecodeBuffer(stream.data(), stream.size());
}

// Every level decodes exactly and higher levels never grow the stream by more than 2 %.
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
}

// The highest level parses in passes of 512 positions that look 60 further; the inputs
// below end in every way relative to those passes. Short inputs end every way in the tree.
TEST(LzhEncode, HighestLevelAcrossItsPassesAndShortInputs) {
  const Bytes base = corpus::MakeExecutable(2200, 21);
  for (size_t size = 400; size <= base.size(); size += 7)
    ASSERT_EQ(RoundTrip(base, size, 9), Bytes(base.begin(), base.begin() + size)) << size;
  for (size_t n = 1; n < 80; ++n) EXPECT_EQ(RoundTrip(corpus::MakeText(n, n), n), corpus::MakeText(n, n)) << n;
}

// Handed out while it is coded, the stream is the same; random data outgrows what is kept
// for a late repair of the ending, text keeps its recent matches.
TEST(LzhEncode, DrainedStreamIsTheSameStream) {
  struct Collect : lzh::StreamDrain {
    Bytes out;
    int takes = 0;
    void Take(const uint8_t* bytes, size_t count) override {
      out.insert(out.end(), bytes, bytes + count);
      ++takes;
    }
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

// A long run of one byte makes its length-60 match the root's 1-branch; a stream whose last
// item then ends on a byte boundary carries the marker as a lone 0x80, whose 1-bit would
// decode one more match. Our encoder avoids that ending, so the streams come from it with
// the repair switched off; the decoder must stop at the marker all the same.
TEST(LzhDecode, LoneMarkerByteAddsNothing) {
  int found = 0;
  for (size_t n = 20000; n < 22000 && found < 3; ++n) {
    Bytes data(n, 'z');
    data.insert(data.begin(), 'q');
    const Bytes stream = lzh::EncodeStream(data.data(), data.size(), kLzhDefaultLevel, false);
    ReferenceOptions unguarded;
    unguarded.guardMarkerByte = false;
    const ReferenceResult plain = ReferenceDecode(stream, unguarded);
    if (plain.output.size() == data.size()) continue;
    ++found;
    ASSERT_EQ(stream.back(), 0x80);
    ASSERT_GT(plain.output.size(), data.size());  // the surplus symbol
    const ReferenceResult guarded = ReferenceDecode(stream);
    EXPECT_EQ(guarded.end, ReferenceEnd::GuardedMarker);
    EXPECT_EQ(guarded.output, data);
    for (uint16_t bytesPerRead : {0, 1}) {
      DecodeSetup setup;
      setup.bytesPerRead = bytesPerRead;
      const DecodeRecord record = DecodeWithSlots(stream, setup);
      EXPECT_EQ(record.output, data);
      EXPECT_EQ(record.consumed, stream.size());
    }
    // More input after the 0x80 means it was no marker: the guard must not fire.
    Bytes longer = stream;
    longer.push_back(0x00);
    EXPECT_EQ(DecodeWithSlots(longer).output, plain.output);
  }
  EXPECT_EQ(found, 3);
}

}  // namespace
