// Arbitrary bytes as a member stream: no crash, no sanitizer report, output within what the
// input's bits can express, and the same output and procedure calls as the plain decoder,
// whatever the buffer sizes and however short the reads.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/lzh/decode_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  const uint16_t sizes[] = {16, 17, 100, 1024, 4096};
  DecodeSetup setup;
  setup.inputBufferSize = sizes[size % 5];
  setup.outputBufferSize = sizes[size / 5 % 5];
  setup.bytesPerRead = static_cast<uint16_t>(size % 3 == 0 ? 7 : 0);
  const DecodeRecord actual = DecodeWithProcs(input, setup);
  // An item of one bit yields at most one byte, a match of 60 bytes takes at least 10 bits,
  // and at most 16 substitute bits follow the end of the input.
  if (actual.output.size() > 6 * (8 * size + 16)) std::abort();
  if (!SameCalls(actual, DecodePlain(input, setup))) std::abort();
  return 0;
}
