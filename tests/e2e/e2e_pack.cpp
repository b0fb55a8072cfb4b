// A packer for the end-to-end tests: puts members with exactly the names, attributes and dates
// a test asks for behind a stub, without the builder's own choices (sorted order, dates from
// the disk, name checks), so that the tests can also make archives the builder would refuse.
//
//   e2e_pack [--checked] STUB OUT [NAME FILE ATTRIBUTES DAYS]...
//
// --checked adds the checksum block behind the data, as the builder does. DAYS is the date as
// a day count from 1899-12-30 (fraction = time of day). The last member should be the
// configuration.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/crc32.h"
#include "lzh/lzh.h"

namespace {

ArchiveBytes ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) std::exit(1);
  return ArchiveBytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  const bool checked = argc > 1 && std::string(argv[1]) == "--checked";
  argc -= checked;
  argv += checked;
  if (argc < 3 || (argc - 3) % 4 != 0) return 2;
  std::vector<TMemberEntry> entries;
  std::vector<ArchiveBytes> streams;
  std::vector<uint32_t> checksums;
  for (int i = 3; i < argc; i += 4) {
    const ArchiveBytes content = ReadAll(argv[i + 1]);
    TMemberEntry entry;
    entry.name = argv[i];
    entry.unpackedSize = static_cast<int32_t>(content.size());
    entry.attributes = std::atoi(argv[i + 2]);
    entry.dateTime = std::strtold(argv[i + 3], nullptr);
    entries.push_back(entry);
    streams.push_back(LzhEncode(content.data(), content.size()));
    checksums.push_back(Crc32Update(0, content.data(), content.size()));
  }
  ArchiveBytes image = ReadAll(argv[1]);
  const ArchiveBytes archive = checked ? BuildCheckedArchiveImage(entries, streams, checksums)
                                       : BuildArchiveImage(entries, streams);
  image.insert(image.end(), archive.begin(), archive.end());
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return out ? 0 : 1;
}
