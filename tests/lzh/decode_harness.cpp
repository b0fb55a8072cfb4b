#include "decode_harness.h"

#include <algorithm>

#include "host/exceptions.h"
#include "lzh/lzh.h"

namespace {

// The run in progress: the production decoder's procedures are plain functions.
const std::vector<uint8_t>* Input;
DecodeSetup Setup;
DecodeRecord* Record;

size_t Deliver(uint8_t* buffer, size_t requested) {
  if (static_cast<int>(Record->readCalls++) == Setup.throwOnReadCall) throw Exception("read failed");
  size_t n = std::min(requested, Input->size() - Record->consumed);
  if (Setup.bytesPerRead > 0) n = std::min<size_t>(n, Setup.bytesPerRead);
  std::copy_n(Input->begin() + static_cast<ptrdiff_t>(Record->consumed), n, buffer);
  Record->consumed += n;
  return n;
}

void Take(const uint8_t* buffer, unsigned count) {
  Record->writeSizes.push_back(static_cast<uint16_t>(count));
  if (static_cast<int>(Record->writeSizes.size()) == Setup.throwOnWriteCall + 1) throw Exception("write failed");
  Record->output.insert(Record->output.end(), buffer, buffer + count);
}

DecodeRecord Run(const std::vector<uint8_t>& input, const DecodeSetup& setup, void (*decode)()) {
  DecodeRecord record;
  Input = &input;
  Setup = setup;
  Record = &record;
  decode();
  return record;
}

}  // namespace

DecodeRecord DecodeWithSlots(const std::vector<uint8_t>& input, const DecodeSetup& setup) {
  return Run(input, setup, [] {
    LzhReadProc = [](uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
      delivered = static_cast<uint16_t>(Deliver(buffer, requested));
    };
    LzhWriteProc = [](const uint8_t* buffer, uint16_t count, uint16_t& written) { Take(buffer, count), written = count; };
    SetInputBufferSize(Setup.inputBufferSize);
    SetOutputBufferSize(Setup.outputBufferSize);
    LzhDecode();
  });
}

DecodeRecord DecodePlain(const std::vector<uint8_t>& input, const DecodeSetup& setup) {
  return Run(input, setup, [] {
    const PlainOptions options{Setup.inputBufferSize, Setup.outputBufferSize, Setup.guardMarkerByte};
    PlainDecode([](void*, unsigned char* buffer, size_t size) { return Deliver(buffer, size); },
                [](void*, const unsigned char* bytes, unsigned count) { Take(bytes, count); }, nullptr, options,
                &Record->plain);
  });
}

bool SameCalls(const DecodeRecord& a, const DecodeRecord& b) {
  return a.output == b.output && a.writeSizes == b.writeSizes && a.readCalls == b.readCalls &&
         a.consumed == b.consumed;
}
