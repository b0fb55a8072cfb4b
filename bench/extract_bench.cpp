// Unpacking cost of the checksums: one installer with a single large member (generated data of
// one corpus kind, default level) is unpacked to the disk by the extraction run, with its checksum block and
// without it, alternately, several times; prints the best processor time of each and the
// difference.
//
// Usage: extract_bench [MiB, default 40] [rounds, default 5] [text|exe|runs|random, default text]
// Text decodes fastest per byte written, so there the check weighs most.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/crc32.h"
#include "archive/extraction.h"
#include "bench/corpus.h"
#include "bench/quiet_run.h"
#include "host/platform.h"
#include "lzh/lzh.h"

namespace {

constexpr int32_t kStubSize = 16;

std::string WriteInstaller(const std::string& folder, const char* name, const ArchiveBytes& archive) {
  const std::string path = folder + name;
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  const std::string stub(kStubSize, 'S');
  out.write(stub.data(), kStubSize);
  out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
  return path;
}

// Processor time, as lzh_bench measures: a busy neighbour on a shared machine should not
// decide the figure. Each run unpacks into an empty folder: replacing the file the previous
// run left costs the second run of a pair several percent, whichever it is.
double UnpackSeconds(const std::string& installer, const std::string& target) {
  std::filesystem::remove_all(NativePath(target));
  const std::clock_t start = std::clock();
  QuietExtract(installer, kStubSize, target);
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 40;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  corpus::Kind kind = corpus::Kind::Text;
  for (corpus::Kind k : corpus::kAllKinds)
    if (argc > 3 && std::string(argv[3]) == corpus::NameOf(k)) kind = k;
  InitHostServices();

  const std::vector<uint8_t> data = corpus::Make(kind, mebibytes << 20);
  const std::string config = "[KVTR Configuration]\r\n";
  std::vector<TMemberEntry> entries(2);
  entries[0].name = "big.dat";
  entries[0].unpackedSize = static_cast<int32_t>(data.size());
  entries[1].name = "$k$v$t$r.cnf";
  entries[1].unpackedSize = static_cast<int32_t>(config.size());
  const std::vector<uint8_t> configBytes(config.begin(), config.end());
  const std::vector<ArchiveBytes> streams = {LzhEncode(data.data(), data.size()),
                                             LzhEncode(configBytes.data(), configBytes.size())};
  const std::vector<uint32_t> crcs = {Crc32(data.data(), data.size()), Crc32(configBytes.data(), configBytes.size())};

  const std::string folder = TempDirectory() + "sfx-extract-bench-" + std::to_string(std::time(nullptr)) + "\\";
  std::filesystem::create_directories(NativePath(folder + "out"));
  const std::string checked = WriteInstaller(folder, "checked.bin", BuildCheckedArchiveImage(entries, streams, crcs));
  const std::string unchecked = WriteInstaller(folder, "unchecked.bin", BuildArchiveImage(entries, streams));

  double bestChecked = 1e9, bestUnchecked = 1e9;
  for (int round = 0; round < rounds; ++round) {
    bestUnchecked = std::min(bestUnchecked, UnpackSeconds(unchecked, folder + "out"));
    bestChecked = std::min(bestChecked, UnpackSeconds(checked, folder + "out"));
  }
  std::filesystem::remove_all(NativePath(folder));
  std::printf("unpacking a %zu MiB member of %s (%zu bytes stored), best of %d:\n", mebibytes, corpus::NameOf(kind),
              streams[0].size(), rounds);
  std::printf("  without checksums %8.3f s\n  with checksums    %8.3f s  (%+.1f %%)\n", bestUnchecked, bestChecked,
              100.0 * (bestChecked - bestUnchecked) / bestUnchecked);
  return 0;
}
