// Drives LzhDecode through its process-global slots and records how the procedures were
// called, so that tests can compare the fast decoder with the reference one call by call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodeRecord {
  std::vector<uint8_t> output;
  std::vector<uint16_t> writeSizes;
  unsigned readCalls = 0;
  size_t consumed = 0;
};

struct DecodeSetup {
  uint16_t inputBufferSize = 1024;
  uint16_t outputBufferSize = 1024;
  uint16_t bytesPerRead = 0;         // 0: as many as asked for
  int throwOnWriteCall = -1;         // the write call (0-based) that raises, if any
  int throwOnReadCall = -1;
};

DecodeRecord DecodeWithSlots(const std::vector<uint8_t>& input, const DecodeSetup& setup = {});
