#include <gtest/gtest.h>

#include <string>

#include "bench/corpus.h"
#include "decode_harness.h"
#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "lzh/lzh_format.h"
#include "reference_decoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Exact streams of the encoder, ending by running out of input or by the end marker.
TEST(LzhDecode, SmallStreamsEndByEitherRule) {
  const struct { std::string text; Bytes stream; ReferenceEnd end; } rows[] = {
      {"A", {0xE6, 0xC0}, ReferenceEnd::InputRanOut},
      {"abc", {0xF6, 0xFB, 0xBD, 0xF0}, ReferenceEnd::EndMarker},
      {"", {0x80}, ReferenceEnd::InputRanOut}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(LzhEncode(reinterpret_cast<const uint8_t*>(row.text.data()), row.text.size()), row.stream);
    EXPECT_EQ(DecodeWithSlots(row.stream).output, FromString(row.text));
    EXPECT_EQ(ReferenceDecode(row.stream).end, row.end);
  }
  for (const Bytes& nothing : {Bytes{0x80}, Bytes{}})
    EXPECT_EQ(DecodeWithSlots(nothing).writeSizes, std::vector<uint16_t>{0});
}

TEST(LzhDecode, BufferSizesAreClamped) {
  const std::pair<uint16_t, uint16_t> cases[] = {
      {0, 16}, {15, 16}, {16, 16}, {1024, 1024}, {32768, 32768}, {32769, 32768}, {65535, 32768}};
  for (auto [given, stored] : cases) {
    SetInputBufferSize(given);
    SetOutputBufferSize(given);
    EXPECT_EQ(InputBufferSize(), stored);
    EXPECT_EQ(OutputBufferSize(), stored);
  }
}

TEST(LzhTree, InitialCodeLengthsAndFirstRebuild) {
  lzh::AdaptiveTree tree{};
  tree.InitTree();
  for (unsigned s = 0; s < 314; ++s) EXPECT_EQ(lzh::CodeLengthOf(tree, s), s < 116 ? 9u : 8u) << s;

  // The root starts at 314 and gains one per symbol: it reaches 0x8000 after 32,454
  // updates, so the 32,455th update halves the leaves first.
  for (int n = 0; n < 32454; ++n) tree.UpdateTree(n % 7 == 0 ? 313 : 'e');
  EXPECT_EQ(tree.FreqTable[lzh::kRoot], 0x8000);
  tree.UpdateTree('e');
  EXPECT_LT(tree.FreqTable[lzh::kRoot], 0x4200);
  unsigned leafSum = 0;
  for (int i = 0; i < lzh::kNodeCount; ++i)
    if (tree.ChildTable[i] >= lzh::kNodeCount) leafSum += tree.FreqTable[i];
  EXPECT_EQ(leafSum, tree.FreqTable[lzh::kRoot]);
  EXPECT_EQ(tree.FreqTable[tree.ParentTable[lzh::kNodeCount + 'q']], 1);  // 1 halves to 1
}

TEST(LzhDecode, WritesFullBuffersOnlyWhenTheNextByteArrives) {
  for (uint16_t size : {uint16_t{16}, uint16_t{1024}, uint16_t{4096}}) {
    for (size_t k : {1, 3}) {
      const Bytes data = corpus::MakeText(k * size, k);
      const Bytes stream = LzhEncode(data.data(), data.size());
      DecodeRecord record = DecodeWithSlots(stream, {1024, size});
      EXPECT_EQ(record.output, data);
      EXPECT_EQ(record.writeSizes, std::vector<uint16_t>(k, size));

      const Bytes longer = corpus::MakeText(k * size + 1, k);
      record = DecodeWithSlots(LzhEncode(longer.data(), longer.size()), {1024, size});
      std::vector<uint16_t> expected(k, size);
      expected.push_back(1);
      EXPECT_EQ(record.writeSizes, expected);
    }
  }
}

TEST(LzhDecode, ReadProcedureThatDeliversOneByteAtATime) {
  const Bytes data = corpus::MakeExecutable(20000, 3);
  const Bytes stream = LzhEncode(data.data(), data.size());
  DecodeSetup byteAtATime;
  byteAtATime.bytesPerRead = 1;
  const DecodeRecord record = DecodeWithSlots(stream, byteAtATime);
  EXPECT_EQ(record.output, data);
  EXPECT_EQ(record.readCalls, stream.size() + 1);  // one per byte, then the 0 that ends it

}

TEST(LzhDecode, MatchesReachIntoTheInitialFill) {
  // Streams built by hand: symbol 313 (length 60) has the code 11000101 in the initial
  // tree; distance 0 is 000 000000 (the byte before the start, a space), distance 4095 is
  // 11111111 111111 (ring position 4036, still zero).
  for (const auto& [stream, fill] : {std::pair<Bytes, uint8_t>{{0xC5, 0x00, 0x40}, ' '}, {{0xC5, 0xFF, 0xFE}, 0}}) {
    EXPECT_EQ(ReferenceDecode(stream).output, Bytes(60, fill));
    EXPECT_EQ(DecodeWithSlots(stream).output, Bytes(60, fill));
  }
  // Data that starts with zeros and spaces is coded as matches into the fill.
  Bytes data(60, 0);
  data.insert(data.end(), 300, ' ');
  data.push_back('x');
  const Bytes stream = LzhEncode(data.data(), data.size());
  EXPECT_LT(stream.size(), 16u);
  EXPECT_EQ(DecodeWithSlots(stream).output, data);
  EXPECT_EQ(ReferenceDecode(stream).output, data);
}

// Streams cut anywhere and random bytes: the fast decoder must agree with the reference in
// output and in every call of both procedures.
void ExpectSameAsReference(const Bytes& input, uint16_t inputSize, uint16_t outputSize) {
  const ReferenceResult expected = ReferenceDecode(input, {inputSize, outputSize, true});
  const DecodeRecord actual = DecodeWithSlots(input, {inputSize, outputSize});
  ASSERT_EQ(actual.output, expected.output) << input.size();
  ASSERT_EQ(actual.writeSizes, expected.writeSizes);
  ASSERT_EQ(actual.readCalls, expected.readCalls);
  ASSERT_EQ(actual.consumed, expected.consumed);
}

TEST(LzhDecode, AgreesWithTheReferenceOnRandomInput) {
  corpus::Random random(77);
  for (int round = 0; round < 300; ++round) {
    Bytes input = corpus::MakeRandom(random.Below(round < 200 ? 40 : 3000), round);
    const uint16_t sizes[] = {16, 17, 100, 1024, 4096};
    ExpectSameAsReference(input, sizes[random.Below(5)], sizes[random.Below(5)]);
  }
}

TEST(LzhDecode, AgreesWithTheReferenceOnEncodedAndCutStreams) {
  // Bytes of each kind that give the encoder two rebuilds of the tree (32,455 symbols each).
  const size_t perRebuild[] = {260000, 110000, 2100000, 36000};
  for (corpus::Kind kind : corpus::kAllKinds) {
    SCOPED_TRACE(corpus::NameOf(kind));
    const Bytes data = corpus::Make(kind, 2 * perRebuild[static_cast<int>(kind)], 5);
    const Bytes stream = LzhEncode(data.data(), data.size());
    const ReferenceResult whole = ReferenceDecode(stream);
    EXPECT_EQ(whole.output, data);
    EXPECT_GE(whole.rebuilds, 2u);
    EXPECT_EQ(LzhDecodeBuffer(stream.data(), stream.size()), data);
    ExpectSameAsReference(stream, 4096, 4096);
    for (size_t cut : {size_t{1}, size_t{2}, stream.size() / 3, stream.size() - 1})
      ExpectSameAsReference(Bytes(stream.begin(), stream.begin() + cut), 1024, 1000);
  }
}

TEST(LzhDecode, ProcedureFailuresEndTheDecodeQuietly) {
  const Bytes data = corpus::MakeText(5000, 9);
  const Bytes stream = LzhEncode(data.data(), data.size());

  DecodeSetup failingWrite{1024, 1024};
  failingWrite.throwOnWriteCall = 1;
  DecodeRecord record = DecodeWithSlots(stream, failingWrite);
  // The second full buffer fails and stays in place; the final flush hands it over again.
  EXPECT_EQ(record.writeSizes, (std::vector<uint16_t>{1024, 1024, 1024}));
  EXPECT_EQ(record.output, Bytes(data.begin(), data.begin() + 2048));

  DecodeSetup failingRead{16, 1024};
  failingRead.throwOnReadCall = 2;
  record = DecodeWithSlots(stream, failingRead);
  EXPECT_EQ(record.writeSizes.size(), 1u);
  EXPECT_LT(record.output.size(), 200u);
  EXPECT_EQ(record.output, Bytes(data.begin(), data.begin() + record.output.size()));

  DecodeSetup failingFlush{1024, 1024};
  failingFlush.throwOnWriteCall = 0;
  EXPECT_THROW(DecodeWithSlots({0xE6, 0xC0}, failingFlush), Exception);
}

}  // namespace
