#include <gtest/gtest.h>

#include <string>

#include "bench/corpus.h"
#include "decode_harness.h"
#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "lzh/lzh_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Prefix(const Bytes& data, size_t size) { return Bytes(data.begin(), data.begin() + static_cast<ptrdiff_t>(size)); }

// Output and every call of both procedures as the plain decoder makes them.
void ExpectSameAsPlain(const Bytes& input, const DecodeSetup& setup) {
  const DecodeRecord expected = DecodePlain(input, setup), actual = DecodeWithProcs(input, setup);
  ASSERT_EQ(actual.output, expected.output) << input.size() << " bytes in";
  ASSERT_TRUE(SameCalls(actual, expected)) << input.size() << " bytes in, reads of " << setup.bytesPerRead;
}

// Streams by hand and from the encoder, ending by running out of input or by the end marker
// (each call as the plain decoder makes it: the lzh_decode corpus holds these streams).
// Symbol 313 (length 60) has the code 11000101 in the initial tree; distance 0 is the byte
// before the start (a space of the ring's fill), distance 4095 ring position 4036 (still 0).
TEST(LzhDecode, SmallStreamsAndTheRingsInitialFill) {
  const struct { Bytes stream; std::string text; } rows[] = {
      {{0xE6, 0xC0}, "A"}, {{0xF6, 0xFB, 0xBD, 0xF0}, "abc"}, {{0x80}, ""}, {{}, ""},
      {{0xC5, 0x00, 0x40}, std::string(60, ' ')}, {{0xC5, 0xFF, 0xFE}, std::string(60, '\0')}};
  for (const auto& row : rows)
    EXPECT_EQ(DecodeWithProcs(row.stream).output, Bytes(row.text.begin(), row.text.end())) << testing::PrintToString(row.stream);
  for (const char* text : {"A", "abc"})
    EXPECT_EQ(LzhEncode(reinterpret_cast<const uint8_t*>(text), std::string(text).size()), rows[text[1] ? 1 : 0].stream);
  // Data that starts with zeros and spaces is coded as matches into the fill.
  Bytes data(60, 0);
  data.insert(data.end(), 300, ' ');
  const Bytes stream = LzhEncode(data.data(), data.size());
  EXPECT_LT(stream.size(), 16u);
  EXPECT_EQ(DecodeWithProcs(stream).output, data);
}

// Streams with two rebuilds of the tree (32,455 symbols each), whole and cut anywhere, with
// the smallest and the largest buffers; output of whole blocks and one byte more (a full
// block goes out only when the next byte arrives); input delivered one byte per read.
TEST(LzhDecode, AgreesWithThePlainDecoder) {
  const size_t perRebuild[] = {260000, 110000, 2100000, 36000};
  for (corpus::Kind kind : corpus::kAllKinds) {
    SCOPED_TRACE(corpus::NameOf(kind));
    const Bytes data = corpus::Make(kind, 2 * perRebuild[static_cast<int>(kind)], 5);
    const Bytes stream = LzhEncode(data.data(), data.size());
    const DecodeRecord plain = DecodePlain(stream);
    EXPECT_EQ(plain.output, data);
    EXPECT_GE(plain.plain.rebuilds, 2u);
    EXPECT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), data);
    ExpectSameAsPlain(stream, {4096, 4096});
    ExpectSameAsPlain(stream, {lzh::kMinBufferSize, lzh::kMaxBufferSize});
    for (size_t cut : {size_t{1}, size_t{2}, stream.size() / 3, stream.size() - 1})
      ExpectSameAsPlain(Bytes(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(cut)), {1024, 1000});
  }
  for (uint16_t size : {uint16_t{16}, uint16_t{1024}, uint16_t{4096}}) {
    for (size_t length : {size_t{size}, size_t{3u * size}, size_t{3u * size + 1}}) {
      const Bytes data = corpus::MakeExecutable(length, length);
      const Bytes stream = LzhEncode(data.data(), data.size());
      ExpectSameAsPlain(stream, {1024, size});
      ExpectSameAsPlain(stream, {size, 17, 1});
    }
  }
}

// Matches whose distance is shorter than 8 repeat a pattern of that period: every period, at
// every length, and at every phase of the 8-byte steps.
TEST(LzhDecode, ShortDistancesRepeatTheirPattern) {
  Bytes data;
  for (unsigned period = 1; period < 8; ++period) {
    for (unsigned length = 3; length <= 60; ++length) {
      for (unsigned n = 0; n < period; ++n) data.push_back(static_cast<uint8_t>(data.size() * 7 + 1));
      for (unsigned n = 0; n < length; ++n) data.push_back(data[data.size() - period]);
    }
  }
  const Bytes stream = LzhEncode(data.data(), data.size());
  EXPECT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), data);
  ExpectSameAsPlain(stream, {4096, 4096});
}

// A failing procedure ends the decode quietly: the block whose write failed stays in place and
// the final flush hands it over again; only a failure of that flush leaves the decoder, and
// buffer sizes it cannot use, before anything is read.
TEST(LzhDecode, ProcedureFailures) {
  const Bytes data = corpus::MakeText(5000, 9);
  const Bytes stream = LzhEncode(data.data(), data.size());
  DecodeRecord record = DecodeWithProcs(stream, {1024, 1024, 0, 1});
  EXPECT_EQ(record.writeSizes, (std::vector<uint16_t>{1024, 1024, 1024}));
  EXPECT_EQ(record.output, Prefix(data, 2048));

  record = DecodeWithProcs(stream, {16, 1024, 0, -1, 2});
  EXPECT_EQ(record.writeSizes.size(), 1u);
  EXPECT_LT(record.output.size(), 200u);
  EXPECT_EQ(record.output, Prefix(data, record.output.size()));

  EXPECT_THROW(DecodeWithProcs({0xE6, 0xC0}, {1024, 1024, 0, 0}), Exception);
  for (const DecodeSetup& sizes :
       {DecodeSetup{0, 1024}, DecodeSetup{1024, 0}, DecodeSetup{15, 1024}, DecodeSetup{1024, 32769}})
    EXPECT_THROW(DecodeWithProcs({0xE6, 0xC0}, sizes), ECompress);
}

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
