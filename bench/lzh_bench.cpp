// Codec throughput. First one line per generated corpus kind with decode and encode speed (MB/s
// of decoded bytes) and the compressed size as a share of the original. Then real data (see
// real_corpus.h), stored at the default level in one archive, decoded four ways:
//   unpack: the installer's own path, the archive's members extracted by the extraction run
//           into real files in a temporary folder (4096-byte buffers, member procedures);
//   plain:  the comparison decoder (lzh/reference/plain_decoder.cpp) over the same archive
//           file into the same files, as a small C program would (stdio, 4096-byte blocks);
//   and both decoders from memory to memory, without files (lzh::DecodeStream with 4096-byte
//   buffers, and the plain decoder).
// Times are processor time (user + system), the best of several runs: the machine is
// shared, and a busy neighbour should not make the codec look slow.
//
// Usage: lzh_bench [MiB per generated kind, default 8] [--levels] [--real-only]
//                  [--real MiB-of-binaries MiB-of-text (default 32 8)] [--runs N (default 5)]
//                  [--save-real FILE (the real data, all files one after the other)]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "archive/archive_writer.h"
#include "archive/extraction.h"
#include "bench/corpus.h"
#include "bench/real_corpus.h"
#include "host/platform.h"
#include "lzh/lzh.h"
#include "lzh/lzh_stream.h"
#include "lzh/reference/plain_decoder.h"
#include "bench/quiet_run.h"

namespace {

int Runs = 5;

double Seconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }
double MegabytesPerSecond(size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

template <typename Run>
double SecondsOf(Run run) {
  const std::clock_t start = std::clock();
  run();
  return Seconds(start);
}

template <typename Run>
double BestSeconds(Run run) {
  double best = 1e9;
  for (int i = 0; i < Runs; ++i) best = std::min(best, SecondsOf(run));
  return best;
}

const std::vector<uint8_t>* Source;
size_t SourcePos;
size_t Decoded;

void ReadFromMemory(void*, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  const size_t n = std::min<size_t>(requested, Source->size() - SourcePos);
  std::memcpy(buffer, Source->data() + SourcePos, n);
  SourcePos += n;
  delivered = static_cast<uint16_t>(n);
}

void CountWritten(void*, const uint8_t*, uint16_t count, uint16_t& written) {
  Decoded += count;
  written = count;
}

size_t PlainFromMemory(void*, unsigned char* buffer, size_t size) {
  const size_t n = std::min(size, Source->size() - SourcePos);
  std::memcpy(buffer, Source->data() + SourcePos, n);
  SourcePos += n;
  return n;
}

void CountPlain(void*, const unsigned char*, unsigned count) { Decoded += count; }

// The plain decoder as a small C program would run it: the stream read from the archive
// file, the output written to a file of its own.
struct PlainFiles {
  std::FILE* in;
  size_t left;  // stream bytes of this member still to read
  std::FILE* out;
};

size_t PlainFromFile(void* context, unsigned char* buffer, size_t size) {
  auto& files = *static_cast<PlainFiles*>(context);
  const size_t n = std::fread(buffer, 1, std::min(size, files.left), files.in);
  files.left -= n;
  return n;
}

void PlainToFile(void* context, const unsigned char* bytes, unsigned count) {
  auto& files = *static_cast<PlainFiles*>(context);
  Decoded += count;
  if (count > 0 && std::fwrite(bytes, 1, count, files.out) != count) {
    std::fprintf(stderr, "plain decoder: write failed\n");
    std::exit(1);
  }
}

void Check(size_t decoded, size_t expected, const char* who) {
  if (decoded == expected) return;
  std::fprintf(stderr, "%s decoded %zu bytes, expected %zu\n", who, decoded, expected);
  std::exit(1);
}

// The decoder with the extraction run's buffer sizes.
double DecodeSeconds(const std::vector<uint8_t>& stream, size_t expected) {
  return BestSeconds([&] {
    Source = &stream;
    SourcePos = 0;
    Decoded = 0;
    lzh::DecodeStream({ReadFromMemory, CountWritten, nullptr}, 4096, 4096);
    Check(Decoded, expected, "lzh::DecodeStream");
  });
}

double PlainSeconds(const std::vector<uint8_t>& stream, size_t expected) {
  return BestSeconds([&] {
    Source = &stream;
    SourcePos = 0;
    Decoded = 0;
    PlainDecode(PlainFromMemory, CountPlain, nullptr);
    Check(Decoded, expected, "plain decoder");
  });
}

void BenchGenerated(size_t size, bool levels) {
  for (corpus::Kind kind : corpus::kAllKinds) {
    const std::vector<uint8_t> data = corpus::Make(kind, size);
    const int firstLevel = levels ? 1 : kLzhDefaultLevel;
    const int lastLevel = levels ? 9 : kLzhDefaultLevel;
    for (int level = firstLevel; level <= lastLevel; ++level) {
      const std::clock_t start = std::clock();
      const std::vector<uint8_t> stream = LzhEncode(data.data(), data.size(), level);
      const double encodeSeconds = Seconds(start);
      const double decodeSeconds = DecodeSeconds(stream, data.size());
      std::printf("%-7s level %d: decode %7.1f MB/s  encode %6.1f MB/s  ratio %6.2f%%  (%zu -> %zu)\n",
                  corpus::NameOf(kind), level, MegabytesPerSecond(data.size(), decodeSeconds),
                  MegabytesPerSecond(data.size(), encodeSeconds), 100.0 * stream.size() / data.size(),
                  data.size(), stream.size());
      std::fflush(stdout);
    }
  }
}

size_t DiskBytesBelow(const std::filesystem::path& dir) {
  size_t total = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file() && entry.path().filename() != "$d$e$l$.lst") total += entry.file_size();
  return total;
}

void BenchReal(size_t binaryMiB, size_t textMiB, const char* savePath) {
  namespace fs = std::filesystem;
  const corpus::RealCorpus real = corpus::LoadRealCorpus(binaryMiB << 20, textMiB << 20);
  if (real.files.empty()) {
    std::printf("real data: none found\n");
    return;
  }
  if (savePath != nullptr) {
    std::FILE* out = std::fopen(savePath, "wb");
    for (const corpus::RealFile& file : real.files)
      if (out != nullptr) std::fwrite(file.data.data(), 1, file.data.size(), out);
    if (out == nullptr || std::fclose(out) != 0) {
      std::fprintf(stderr, "cannot write %s\n", savePath);
      std::exit(1);
    }
  }
  std::vector<TMemberEntry> entries;
  std::vector<ArchiveBytes> streams;
  size_t total = 0;
  size_t stored = 0;
  for (const corpus::RealFile& file : real.files) {
    TMemberEntry entry;
    entry.name = file.name;
    std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
    entry.unpackedSize = static_cast<int32_t>(file.data.size());
    entry.dateTime = 46000;
    entries.push_back(entry);
    streams.push_back(LzhEncode(file.data.data(), file.data.size()));
    total += file.data.size();
    stored += streams.back().size();
  }
  const std::string config = "[KVTR Configuration]\r\n";
  entries.push_back({"$k$v$t$r.cnf", static_cast<int32_t>(config.size())});
  streams.push_back(LzhEncode(reinterpret_cast<const uint8_t*>(config.data()), config.size()));
  std::printf("real data: %.1f MB of binaries (%s), %.1f MB of text (/usr/share/doc), %zu files, "
              "stored at level %d in %.1f%% of their size\n",
              real.binaryBytes / 1e6, real.binarySource.c_str(), real.textBytes / 1e6, real.files.size(),
              kLzhDefaultLevel, 100.0 * stored / total);

  // In memory where the system offers it (LZH_BENCH_DIR overrides): creating hundreds of
  // files on a disk file system shared with busy neighbours costs more in inode searches
  // than the decoding, and varies from run to run.
  const char* const chosen = std::getenv("LZH_BENCH_DIR");
  std::error_code ec;
  const fs::path base = chosen != nullptr ? fs::path(chosen)
                        : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                           : fs::temp_directory_path();
  const fs::path work = base / ("lzh_bench." + std::to_string(::getpid()));
  fs::create_directories(work);
  const fs::path archive = work / "archive.bin";
  {
    const ArchiveBytes image = BuildArchiveImage(entries, streams);
    std::FILE* out = std::fopen(archive.c_str(), "wb");
    if (out == nullptr || std::fwrite(image.data(), 1, image.size(), out) != image.size() || std::fclose(out) != 0) {
      std::fprintf(stderr, "cannot write %s\n", archive.c_str());
      std::exit(1);
    }
  }
  // The plain decoder reads the same archive: the members' data follow the directory in
  // order, at the end of the archive.
  size_t dataStart = 0;
  {
    std::error_code ec;
    size_t streamsSize = 0;
    for (const ArchiveBytes& stream : streams) streamsSize += stream.size();
    dataStart = static_cast<size_t>(fs::file_size(archive, ec)) - streamsSize;
  }
  const auto unpack = [&](const fs::path& target) {
    QuietExtract(InternalPath(archive.string()), 0, InternalPath(target.string() + "/"));
  };
  const auto plain = [&](const fs::path& target) {
    Decoded = 0;
    std::FILE* in = std::fopen(archive.c_str(), "rb");
    std::fseek(in, static_cast<long>(dataStart), SEEK_SET);
    fs::create_directories(target / "bin");
    fs::create_directories(target / "text");
    for (size_t i = 0; i < real.files.size(); ++i) {
      PlainFiles files{in, streams[i].size(), std::fopen((target / real.files[i].name).c_str(), "wb")};
      PlainDecode(PlainFromFile, PlainToFile, &files);
      std::fclose(files.out);
    }
    std::fclose(in);
  };
  // The two take turns, so that a busy spell of the machine weighs on both alike. A fresh
  // folder per run: files created where many were just deleted cost the file system far
  // more, and that is not the installer's situation.
  double unpackSeconds = 1e9, plainFileSeconds = 1e9;
  for (int round = 0; round < Runs; ++round) {
    const fs::path unpackTarget = work / ("target" + std::to_string(round));
    const fs::path plainTarget = work / ("plain" + std::to_string(round));
    unpackSeconds = std::min(unpackSeconds, SecondsOf([&] { unpack(unpackTarget); }));
    plainFileSeconds = std::min(plainFileSeconds, SecondsOf([&] { plain(plainTarget); }));
    if (round == 0) {
      Check(DiskBytesBelow(unpackTarget), total, "extraction run");
      Check(DiskBytesBelow(plainTarget), total, "plain decoder into files");
    }
  }
  fs::remove_all(work);

  // The decoders from memory: every member's stream in turn.
  double decodeSeconds = 0, plainSeconds = 0;
  for (size_t i = 0; i < real.files.size(); ++i) {
    decodeSeconds += DecodeSeconds(streams[i], real.files[i].data.size());
    plainSeconds += PlainSeconds(streams[i], real.files[i].data.size());
  }
  const double unpackSpeed = MegabytesPerSecond(total, unpackSeconds);
  const double plainSpeed = MegabytesPerSecond(total, plainFileSeconds);
  const double inMemory = MegabytesPerSecond(total, decodeSeconds);
  const double plainInMemory = MegabytesPerSecond(total, plainSeconds);
  std::printf("unpack MB/s: %.1f   (extraction run: archive file to real files below %s)\n", unpackSpeed, base.c_str());
  std::printf("plain MB/s:  %.1f   (comparison decoder, -O2: archive file to the same files)\n", plainSpeed);
  std::printf("unpack/plain: %.2f\n", unpackSpeed / plainSpeed);
  std::printf("in memory, no files: DecodeStream %.1f MB/s, plain %.1f MB/s, ratio %.2f\n", inMemory,
              plainInMemory, inMemory / plainInMemory);
}

}  // namespace

int main(int argc, char** argv) {
  size_t mebibytes = 8;
  bool levels = false;
  bool realOnly = false;
  const char* savePath = nullptr;
  size_t binaryMiB = 32, textMiB = 8;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--levels") == 0) {
      levels = true;
    } else if (std::strcmp(argv[i], "--real-only") == 0) {
      realOnly = true;
    } else if (std::strcmp(argv[i], "--real") == 0 && i + 2 < argc) {
      binaryMiB = std::strtoul(argv[++i], nullptr, 10);
      textMiB = std::strtoul(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--save-real") == 0 && i + 1 < argc) {
      savePath = argv[++i];
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      Runs = std::max(1, std::atoi(argv[++i]));
    } else {
      mebibytes = std::strtoul(argv[i], nullptr, 10);
    }
  }
  if (!realOnly) BenchGenerated(mebibytes << 20, levels);
  BenchReal(binaryMiB, textMiB, savePath);
  return 0;
}
