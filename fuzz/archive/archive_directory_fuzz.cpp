// Arbitrary bytes as an archive behind a stub of zero bytes. The reader either refuses them as
// a damaged archive or gives entries that extraction can trust: six fields, a safe name,
// sizes and offsets not negative, data inside the file. What it accepts, written back by the
// builder's writer, reads back to the same entries.
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "archive/archive_writer.h"
#include "archive/directory.h"
#include "archive/format.h"
#include "host/convert.h"
#include "host/platform.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// No handle is left open, whether the image reads or not.
bool Load(const ScratchFolder& folder, const std::vector<uint8_t>& image, TArchiveDirectory& dir) {
  WriteBytes(folder.Path("setup.exe"), image);
  FaultyFileSystem disk;
  ScopedFileSystem use(disk);
  bool ok = true;
  try {
    LoadArchiveDirectory(folder.Internal("setup.exe"), 0, dir);
  } catch (const EArchiveFormat&) {
    ok = false;
  }
  Check(disk.OpenHandleCount() == 0);
  return ok;
}

// Dates whose text form reads back: not INF or NAN, and not the few that FloatText's 15 digits
// round up past double's range.
bool PortableDate(const std::string& text) {
  return text != "INF" && text != "-INF" && text != "NAN" && std::fabs(ParseFloat(text)) <= static_cast<long double>(DBL_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  ScratchFolder folder;
  const std::vector<uint8_t> image(data, data + size);
  TArchiveDirectory dir;
  if (!Load(folder, image, dir)) return 0;
  Check(dir.dataStart >= 2 && static_cast<size_t>(dir.dataStart) <= size);
  std::vector<TMemberEntry> entries;
  for (int i = 0; i < dir.entries.EntryCount(); ++i) {
    const std::string line = dir.entries.GetEntry(i);
    auto field = [&](int n) { return EntryField(line, kEntrySeparator, n); };
    Check(field(6) != "" && field(7) == "");
    TMemberEntry e{field(kFieldName), ParseInteger(field(kFieldUnpackedSize)), ParseInteger(field(kFieldStoredSize)),
                   ParseInteger(field(kFieldOffset)), ParseInteger(field(kFieldAttributes)),
                   PortableDate(field(kFieldDateTime)) ? ParseFloat(field(kFieldDateTime)) : 0};
    Check(IsSafeMemberName(e.name) && e.unpackedSize >= 0 && e.storedSize >= 0 && e.offset >= 0);
    Check(static_cast<int64_t>(dir.dataStart) + e.offset + e.storedSize <= static_cast<int64_t>(size));
    entries.push_back(e);
  }
  // Written back with the builder's encoding and the same data area.
  ArchiveBytes rewritten = WriteArchiveDirectory(entries);
  const size_t directorySize = rewritten.size();
  rewritten.insert(rewritten.end(), image.begin() + dir.dataStart, image.end());
  TArchiveDirectory again;
  Check(Load(folder, rewritten, again));
  Check(again.dataStart == static_cast<int32_t>(directorySize) && again.entries.EntryCount() == dir.entries.EntryCount());
  for (int i = 0; i < dir.entries.EntryCount(); ++i) {
    const std::string before = dir.entries.GetEntry(i), after = again.entries.GetEntry(i);
    for (int n : {kFieldName, kFieldUnpackedSize, kFieldStoredSize, kFieldAttributes, kFieldOffset})
      Check(EntryField(before, kEntrySeparator, n) == EntryField(after, kEntrySeparator, n));
    if (PortableDate(EntryField(before, kEntrySeparator, kFieldDateTime)))
      Check(EntryField(before, kEntrySeparator, kFieldDateTime) == EntryField(after, kEntrySeparator, kFieldDateTime));
  }
  return 0;
}
