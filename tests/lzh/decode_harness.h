// Runs the production decoder (lzh::DecodeStream), or the reference decoder, over bytes in
// memory, and records how each called its read and write procedures, so the two can be
// compared call by call (unit tests and the decode fuzz targets).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/reference/plain_decoder.h"

struct DecodeRecord {
  std::vector<uint8_t> output;
  std::vector<uint16_t> writeSizes;
  unsigned readCalls = 0;
  size_t consumed = 0;
  PlainReport plain;  // the plain decoder's only
};

struct DecodeSetup {
  uint16_t inputBufferSize = 1024;
  uint16_t outputBufferSize = 1024;
  uint16_t bytesPerRead = 0;  // 0: as many as asked for
  int throwOnWriteCall = -1;  // the write call (0-based) that raises, if any
  int throwOnReadCall = -1;
  bool guardMarkerByte = true;  // the plain decoder's option
};

DecodeRecord DecodeWithProcs(const std::vector<uint8_t>& input, const DecodeSetup& setup = {});
DecodeRecord DecodePlain(const std::vector<uint8_t>& input, const DecodeSetup& setup = {});
// Output and every procedure call alike.
bool SameCalls(const DecodeRecord& a, const DecodeRecord& b);
