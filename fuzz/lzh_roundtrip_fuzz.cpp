// Encode, then decode: every level must give back the input exactly, read by our decoder and
// by a decoder without our guard against a lone final marker byte (the encoder must never end
// a stream that way). The first byte chooses the level; from 128 on, the rest is read as
// pairs (count, byte) for runs of count * 160 bytes, the inputs whose endings need repair.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lzh/lzh.h"
#include "tests/lzh/decode_harness.h"

// Longer inputs add little that shorter ones miss (the unit tests cover the long parses) and
// slow every run down, since the match finder walks the ring's initial fill of spaces.
constexpr size_t kLongestInput = 1025;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (size > kLongestInput) size = kLongestInput;
  const int level = 1 + data[0] % 9;
  std::vector<uint8_t> text;
  if (data[0] < 128) text.assign(data + 1, data + size);
  for (size_t i = 1; data[0] >= 128 && i + 1 < size && text.size() < 200000; i += 2)
    text.insert(text.end(), data[i] * size_t{160} + 1, data[i + 1]);
  const std::vector<uint8_t> stream = LzhEncode(text.data(), text.size(), level);
  if (LzhDecodeBuffer(stream.data(), stream.size()) != text) std::abort();
  DecodeSetup unguarded;
  unguarded.guardMarkerByte = false;
  if (DecodePlain(stream, unguarded).output != text) std::abort();
  return 0;
}
