#include "decode_harness.h"

#include <algorithm>

#include "host/exceptions.h"
#include "lzh/lzh_stream.h"

namespace {

// One run in progress, the context both decoders hand to their procedures.
struct Run {
  const std::vector<uint8_t>& input;
  const DecodeSetup& setup;
  DecodeRecord record;

  size_t Deliver(uint8_t* buffer, size_t requested) {
    if (static_cast<int>(record.readCalls++) == setup.throwOnReadCall) throw Exception("read failed");
    size_t n = std::min(requested, input.size() - record.consumed);
    if (setup.bytesPerRead > 0) n = std::min<size_t>(n, setup.bytesPerRead);
    std::copy_n(input.begin() + static_cast<ptrdiff_t>(record.consumed), n, buffer);
    record.consumed += n;
    return n;
  }

  void Take(const uint8_t* buffer, unsigned count) {
    record.writeSizes.push_back(static_cast<uint16_t>(count));
    if (static_cast<int>(record.writeSizes.size()) == setup.throwOnWriteCall + 1) throw Exception("write failed");
    record.output.insert(record.output.end(), buffer, buffer + count);
  }
};

}  // namespace

DecodeRecord DecodeWithProcs(const std::vector<uint8_t>& input, const DecodeSetup& setup) {
  Run run{input, setup, {}};
  const lzh::StreamProcs procs{
      [](void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
        delivered = static_cast<uint16_t>(static_cast<Run*>(context)->Deliver(buffer, requested));
      },
      [](void* context, const uint8_t* buffer, uint16_t count, uint16_t& written) {
        static_cast<Run*>(context)->Take(buffer, count), written = count;
      },
      &run};
  lzh::DecodeStream(procs, setup.inputBufferSize, setup.outputBufferSize);
  return run.record;
}

DecodeRecord DecodePlain(const std::vector<uint8_t>& input, const DecodeSetup& setup) {
  Run run{input, setup, {}};
  const PlainOptions options{setup.inputBufferSize, setup.outputBufferSize, setup.guardMarkerByte};
  PlainDecode(
      [](void* context, unsigned char* buffer, size_t size) { return static_cast<Run*>(context)->Deliver(buffer, size); },
      [](void* context, const unsigned char* bytes, unsigned count) { static_cast<Run*>(context)->Take(bytes, count); },
      &run, options, &run.record.plain);
  return run.record;
}

bool SameCalls(const DecodeRecord& a, const DecodeRecord& b) {
  return a.output == b.output && a.writeSizes == b.writeSizes && a.readCalls == b.readCalls &&
         a.consumed == b.consumed;
}
