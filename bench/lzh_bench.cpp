// Codec throughput on a generated corpus: one line per corpus kind with decode and encode
// speed (MB/s of decoded bytes) and the compressed size as a share of the original, then
// the aggregate decode speed. Times are processor time of the best of three decodes. Decoding goes through the procedure slots with the 4096-byte
// buffers that the extraction run uses.
//
// Usage: lzh_bench [MiB per corpus, default 8] [--levels]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/corpus.h"
#include "lzh/lzh.h"

namespace {

// Processor time rather than wall time: the machine is shared, and a busy neighbour should
// not make the codec look slow.
struct Clock {
  using time_point = std::clock_t;
  static time_point now() { return std::clock(); }
};

const std::vector<uint8_t>* Source;
size_t SourcePos;
size_t Decoded;

void ReadFromMemory(uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  const size_t n = std::min<size_t>(requested, Source->size() - SourcePos);
  std::memcpy(buffer, Source->data() + SourcePos, n);
  SourcePos += n;
  delivered = static_cast<uint16_t>(n);
}

void CountWritten(const uint8_t*, uint16_t count, uint16_t& written) {
  Decoded += count;
  written = count;
}

double Seconds(Clock::time_point since) {
  return static_cast<double>(Clock::now() - since) / CLOCKS_PER_SEC;
}

// Best of a few runs, so that one disturbed run does not decide the figure.
double DecodeSeconds(const std::vector<uint8_t>& stream, size_t expected) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    Source = &stream;
    SourcePos = 0;
    Decoded = 0;
    const auto start = Clock::now();
    LzhDecode();
    best = std::min(best, Seconds(start));
    if (Decoded != expected) {
      std::fprintf(stderr, "decoded %zu bytes, expected %zu\n", Decoded, expected);
      std::exit(1);
    }
  }
  return best;
}

double MegabytesPerSecond(size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

}  // namespace

int main(int argc, char** argv) {
  size_t mebibytes = 8;
  bool levels = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--levels") == 0) levels = true;
    else mebibytes = std::strtoul(argv[i], nullptr, 10);
  }
  const size_t size = mebibytes << 20;
  LzhReadProc = ReadFromMemory;
  LzhWriteProc = CountWritten;
  SetInputBufferSize(4096);
  SetOutputBufferSize(4096);

  double totalDecodeSeconds = 0;
  size_t totalBytes = 0;
  for (corpus::Kind kind : corpus::kAllKinds) {
    const std::vector<uint8_t> data = corpus::Make(kind, size);
    const int firstLevel = levels ? 1 : kLzhDefaultLevel;
    const int lastLevel = levels ? 9 : kLzhDefaultLevel;
    for (int level = firstLevel; level <= lastLevel; ++level) {
      const auto start = Clock::now();
      const std::vector<uint8_t> stream = LzhEncode(data.data(), data.size(), level);
      const double encodeSeconds = Seconds(start);
      const double decodeSeconds = DecodeSeconds(stream, data.size());
      if (level == kLzhDefaultLevel) {
        totalDecodeSeconds += decodeSeconds;
        totalBytes += data.size();
      }
      std::printf("%-7s level %d: decode %7.1f MB/s  encode %6.1f MB/s  ratio %6.2f%%  (%zu -> %zu)\n",
                  corpus::NameOf(kind), level, MegabytesPerSecond(data.size(), decodeSeconds),
                  MegabytesPerSecond(data.size(), encodeSeconds),
                  100.0 * stream.size() / data.size(), data.size(), stream.size());
      std::fflush(stdout);
    }
  }
  std::printf("decode MB/s: %.1f\n", MegabytesPerSecond(totalBytes, totalDecodeSeconds));
  return 0;
}
