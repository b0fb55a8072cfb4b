// Arbitrary bytes as a member stream: no crash, no sanitizer report, output within what the
// input's bits can express, and the same output whatever the buffer sizes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lzh/lzh.h"

namespace {

const uint8_t* Input;
size_t InputSize;
size_t InputPos;
std::vector<uint8_t> Output;

void ReadSmall(uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  size_t n = InputSize - InputPos;
  if (n > requested) n = requested;
  if (n > 7) n = 7;  // short deliveries, so the decoder keeps crossing buffer ends
  for (size_t i = 0; i < n; ++i) buffer[i] = Input[InputPos + i];
  InputPos += n;
  delivered = static_cast<uint16_t>(n);
}

void WriteAll(const uint8_t* buffer, uint16_t count, uint16_t& written) {
  Output.insert(Output.end(), buffer, buffer + count);
  written = count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> whole = LzhDecodeBuffer(data, size);
  // An item of one bit yields at most one byte, a match of 60 bytes takes at least 10 bits,
  // and at most 16 substitute bits follow the end of the input.
  if (whole.size() > 6 * (8 * size + 16)) std::abort();

  Input = data;
  InputSize = size;
  InputPos = 0;
  Output.clear();
  LzhReadProc = ReadSmall;
  LzhWriteProc = WriteAll;
  SetInputBufferSize(16);
  SetOutputBufferSize(size % 2 ? 16 : 1000);
  LzhDecode();
  if (Output != whole) std::abort();
  return 0;
}
