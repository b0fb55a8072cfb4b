// Encode, then decode: every level must give back the input exactly.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lzh/lzh.h"

// Longer inputs add little that shorter ones miss (the unit tests cover the long parses) and
// slow every run down, since the match finder walks the ring's initial fill of spaces.
constexpr size_t kLongestInput = 1025;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (size > kLongestInput) size = kLongestInput;
  const int level = 1 + data[0] % 9;
  const std::vector<uint8_t> stream = LzhEncode(data + 1, size - 1, level);
  const std::vector<uint8_t> decoded = LzhDecodeBuffer(stream.data(), stream.size());
  if (decoded != std::vector<uint8_t>(data + 1, data + size)) std::abort();
  return 0;
}
