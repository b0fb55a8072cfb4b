// Arbitrary bytes as an archive behind a stub of zero bytes. The reader either refuses them as
// a damaged archive or gives entries that extraction can trust: six fields, a safe name, sizes
// and offsets not negative, data inside the file. No handle is left open either way.
#include <cstdlib>

#include "archive/directory.h"
#include "archive/format.h"
#include "host/convert.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {
void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  ScratchFolder folder;
  WriteBytes(folder.Path("setup.exe"), std::vector<uint8_t>(data, data + size));
  FaultyFileSystem disk;
  ScopedFileSystem use(disk);
  TArchiveDirectory dir;
  try {
    LoadArchiveDirectory(folder.Internal("setup.exe"), 0, dir);
  } catch (const EArchiveFormat&) {
    Check(disk.OpenHandleCount() == 0);
    return 0;
  }
  Check(disk.OpenHandleCount() == 0);
  Check(dir.dataStart >= 2 && static_cast<size_t>(dir.dataStart) <= size);
  for (int i = 0; i < dir.entries.EntryCount(); ++i) {
    const std::string line = dir.entries.GetEntry(i);
    auto field = [&](int n) { return EntryField(line, kEntrySeparator, n); };
    Check(field(6) != "" && field(7) == "" && IsSafeMemberName(field(kFieldName)));
    const int64_t unpacked = ParseInteger(field(kFieldUnpackedSize)), stored = ParseInteger(field(kFieldStoredSize)),
                  offset = ParseInteger(field(kFieldOffset));
    Check(unpacked >= 0 && stored >= 0 && offset >= 0 && dir.dataStart + offset + stored <= static_cast<int64_t>(size));
  }
  return 0;
}
