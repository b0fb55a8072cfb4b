#include "decode_harness.h"

#include <algorithm>

#include "host/exceptions.h"
#include "lzh/lzh.h"

namespace {

const std::vector<uint8_t>* Input;
DecodeSetup Setup;
DecodeRecord* Record;
int WriteCalls;

void ReadSlot(uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  if (static_cast<int>(Record->readCalls++) == Setup.throwOnReadCall) throw Exception("read failed");
  size_t n = std::min<size_t>(requested, Input->size() - Record->consumed);
  if (Setup.bytesPerRead > 0) n = std::min<size_t>(n, Setup.bytesPerRead);
  std::copy_n(Input->begin() + Record->consumed, n, buffer);
  Record->consumed += n;
  delivered = static_cast<uint16_t>(n);
}

void WriteSlot(const uint8_t* buffer, uint16_t count, uint16_t& written) {
  Record->writeSizes.push_back(count);
  if (WriteCalls++ == Setup.throwOnWriteCall) throw Exception("write failed");
  Record->output.insert(Record->output.end(), buffer, buffer + count);
  written = count;
}

}  // namespace

DecodeRecord DecodeWithSlots(const std::vector<uint8_t>& input, const DecodeSetup& setup) {
  DecodeRecord record;
  Input = &input;
  Setup = setup;
  Record = &record;
  WriteCalls = 0;
  LzhReadProc = ReadSlot;
  LzhWriteProc = WriteSlot;
  SetInputBufferSize(setup.inputBufferSize);
  SetOutputBufferSize(setup.outputBufferSize);
  LzhDecode();
  return record;
}
