// The decoder's interface: one call decodes one stream from the client's read procedure to its
// write procedure, each called once per buffer with the client's context.
#pragma once

#include <cstdint>

namespace lzh {

struct StreamProcs {
  // Places up to `requested` bytes at `buffer` and reports how many in `delivered`; 0 means no
  // input is left (asked again, it must answer 0 again).
  void (*read)(void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered);
  // Takes `count` decoded bytes: a full output buffer each time one more byte arrives, and once
  // at the end whatever remains, 0 bytes included.
  void (*write)(void* context, const uint8_t* buffer, uint16_t count, uint16_t& written);
  void* context;
};

// Both buffer sizes lie in this range: the positions and counts of the buffers are 16-bit.
constexpr uint16_t kMinBufferSize = 16;
constexpr uint16_t kMaxBufferSize = 32768;

// One decode call with fresh state. Sizes outside kMinBufferSize..kMaxBufferSize raise ECompress
// before anything is read. The stream ends by the end marker or when the input runs out; a
// failure of either procedure ends it as quietly, and the final flush still hands over what was
// decoded. Only a failure of that flush, or of memory, leaves the call.
void DecodeStream(const StreamProcs& procs, uint16_t inputSize, uint16_t outputSize);

}  // namespace lzh
