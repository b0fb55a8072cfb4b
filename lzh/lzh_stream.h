// The decoder behind LzhDecode, with its procedures and buffer sizes passed in, so that tools
// and tests can decode from memory without touching the process-global slots.
#pragma once

#include <cstdint>

namespace lzh {

struct StreamProcs {
  void (*read)(void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered);
  void (*write)(void* context, const uint8_t* buffer, uint16_t count, uint16_t& written);
  void* context;
};

// One decode call with fresh state: the loop swallows every failure, the final flush does not.
void DecodeStream(const StreamProcs& procs, uint16_t inputSize, uint16_t outputSize);

}  // namespace lzh
