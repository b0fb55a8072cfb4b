// A slow decoder that follows the stream format step by step, kept as the oracle for the
// fast one: its own tables, its own bit reader, nothing shared with lzh/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct ReferenceOptions {
  uint16_t inputBufferSize = 1024;
  uint16_t outputBufferSize = 1024;
  bool guardMarkerByte = true;  // stop at a lone final 0x80 instead of decoding one more symbol
};

enum class ReferenceEnd { EndMarker, InputRanOut, GuardedMarker };

struct ReferenceResult {
  std::vector<uint8_t> output;
  std::vector<uint16_t> writeSizes;  // one entry per call of the write procedure
  unsigned readCalls = 0;
  size_t consumed = 0;
  ReferenceEnd end = ReferenceEnd::EndMarker;
  unsigned symbols = 0;
  unsigned rebuilds = 0;
};

ReferenceResult ReferenceDecode(const std::vector<uint8_t>& input, const ReferenceOptions& options = {});
