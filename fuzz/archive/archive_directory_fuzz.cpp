// Arbitrary bytes as an archive behind a stub of zero bytes. The reader either refuses them as
// a damaged archive or gives entries that extraction can trust: six fields, a safe name,
// sizes and offsets not negative, data inside the file. What it accepts, written back by the
// builder's writer, reads back to the same entries.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "host/convert.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kImage[] = "C:\\setup.exe";

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Load(MemoryFileSystem& fs, const std::vector<uint8_t>& image) {
  fs.AddFile(kImage, image);
  ClearEntries();
  try {
    LoadArchiveDirectory(kImage, 0);
    return true;
  } catch (const EArchiveFormat&) {
    return false;
  }
}

std::string Field(const std::string& line, int n) { return EntryField(line, kEntrySeparator, n); }

// Dates whose text form reads back: not INF or NAN, and not the few that FloatText's 15 digits
// round up past double's range.
bool PortableDate(const std::string& text) {
  if (text == "INF" || text == "-INF" || text == "NAN") return false;
  return std::fabs(ParseFloat(text)) <= static_cast<long double>(DBL_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  MemoryFileSystem fs;
  ScopedFileSystem scoped(fs);
  const std::vector<uint8_t> image(data, data + size);
  if (!Load(fs, image)) {
    Check(fs.OpenHandleCount() == 0);
    return 0;
  }
  Check(fs.OpenHandleCount() == 0);
  Check(DataStart >= 2 && static_cast<size_t>(DataStart) <= size);
  std::vector<std::string> lines;
  std::vector<TMemberEntry> entries;
  for (int i = 0; i < EntryCount(); ++i) {
    const std::string line = GetEntry(i);
    Check(Field(line, 6) != "" && Field(line, 7) == "");
    TMemberEntry e;
    e.name = Field(line, kFieldName);
    e.unpackedSize = ParseInteger(Field(line, kFieldUnpackedSize));
    e.storedSize = ParseInteger(Field(line, kFieldStoredSize));
    e.offset = ParseInteger(Field(line, kFieldOffset));
    e.attributes = ParseInteger(Field(line, kFieldAttributes));
    Check(IsSafeMemberName(e.name));
    Check(e.unpackedSize >= 0 && e.storedSize >= 0 && e.offset >= 0);
    Check(static_cast<int64_t>(DataStart) + e.offset + e.storedSize <= static_cast<int64_t>(size));
    const std::string date = Field(line, kFieldDateTime);
    e.dateTime = PortableDate(date) ? ParseFloat(date) : 0;
    lines.push_back(line);
    entries.push_back(e);
  }
  // Written back with the builder's encoding and the same data area.
  ArchiveBytes rewritten = WriteArchiveDirectory(entries);
  const size_t directorySize = rewritten.size();
  rewritten.insert(rewritten.end(), image.begin() + DataStart, image.end());
  Check(Load(fs, rewritten));
  Check(DataStart == static_cast<int32_t>(directorySize));
  Check(EntryCount() == static_cast<int>(lines.size()));
  for (int i = 0; i < EntryCount(); ++i) {
    const std::string again = GetEntry(i);
    for (int field : {kFieldName, kFieldUnpackedSize, kFieldStoredSize, kFieldAttributes, kFieldOffset})
      Check(Field(again, field) == Field(lines[i], field));
    if (PortableDate(Field(lines[i], kFieldDateTime)))
      Check(Field(again, kFieldDateTime) == Field(lines[i], kFieldDateTime));
  }
  ClearEntries();
  return 0;
}
