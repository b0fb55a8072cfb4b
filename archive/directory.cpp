#include "archive/directory.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "archive/crc32.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "host/convert.h"

EArchiveFormat::EArchiveFormat(std::string detail)
    : Exception(kInvalidArchiveText), detail_(std::move(detail)) {}

namespace {

constexpr int kSeekFromStart = 0;
constexpr int kSeekFromCurrent = 1;
constexpr int kSeekFromEnd = 2;

// Every failure of the reader is raised here, out of line: the message text is assembled in
// this one place instead of at each of the many checks.
[[noreturn]] __attribute__((noinline)) void RaiseFormat(const char* detail) { throw EArchiveFormat(detail); }
[[noreturn]] __attribute__((noinline)) void RaiseFormat(const char* before, const std::string& subject,
                                                        const char* after) {
  throw EArchiveFormat(before + subject + after);
}

void ReadExactly(FileHandle file, void* buffer, int32_t count, const char* what) {
  if (ReadFileBytes(file, buffer, count) != count)
    RaiseFormat("file ends inside ", what, "");
}

uint8_t ReadTag(FileHandle file) {
  uint8_t tag = 0;
  ReadExactly(file, &tag, 1, "a tag");
  return tag;
}

std::string TagText(uint8_t tag) { return IntegerText(tag); }

int32_t ReadIntegerPayload(FileHandle file, uint8_t tag) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  switch (tag) {
    case kTagInt8:
      ReadExactly(file, bytes, 1, "an integer");
      return static_cast<int8_t>(bytes[0]);
    case kTagInt16:
      ReadExactly(file, bytes, 2, "an integer");
      return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
    case kTagInt32:
      ReadExactly(file, bytes, 4, "an integer");
      return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                  (static_cast<uint32_t>(bytes[2]) << 16) |
                                  (static_cast<uint32_t>(bytes[3]) << 24));
  }
  RaiseFormat("tag ", TagText(tag), " where an integer belongs");
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Win32 drops trailing dots and blanks from a path component, so "..." or ".. " would walk
// up a level there just as ".." does.
bool IsParentComponent(const std::string& component) {
  int dots = 0;
  for (char c : component) {
    if (c == '.')
      ++dots;
    else if (c != ' ')
      return false;
  }
  return dots >= 2;
}

// The date travels to member extraction as text rounded to double; a value past double's
// range would overflow there (the FPU's overflow trap), so it is a damaged directory here.
std::string DateText(long double dateTime) {
  if (std::isfinite(dateTime) && std::fabs(dateTime) > static_cast<long double>(DBL_MAX))
    RaiseFormat("date out of range");
  return FloatText(static_cast<long double>(static_cast<double>(dateTime)));
}

struct TDirectoryEntry {
  std::string name;
  int32_t unpackedSize, storedSize, offset, attributes;
  long double dateTime;
};

TDirectoryEntry ReadEntry(FileHandle file) {
  TDirectoryEntry entry;
  entry.name = ReadStringValue(file);
  entry.unpackedSize = ReadIntegerValue(file);
  entry.storedSize = ReadIntegerValue(file);
  entry.offset = ReadIntegerValue(file);
  entry.attributes = ReadIntegerValue(file);
  entry.dateTime = ReadFloatValue(file);
  return entry;
}

void CheckEntry(const TDirectoryEntry& entry) {
  if (!IsSafeMemberName(entry.name)) RaiseFormat("unsafe member name \"", entry.name, "\"");
  if (entry.unpackedSize < 0 || entry.storedSize < 0 || entry.offset < 0)
    RaiseFormat("negative size or offset for \"", entry.name, "\"");
}

std::string EntryLine(const TDirectoryEntry& entry) {
  const std::string tab = kEntrySeparator;
  return entry.name + tab + IntegerText(entry.unpackedSize) + tab + IntegerText(entry.storedSize) +
         tab + IntegerText(entry.attributes) + tab + DateText(entry.dateTime) + tab +
         IntegerText(entry.offset);
}

// Every member's data must lie inside the file, so that extraction never reads past its end
// or into a stream that the directory does not describe as the member's. Returns the end of
// the data area: DataStart + the largest (offset + stored size).
int64_t CheckDataRanges(const TArchiveDirectory& d, int32_t fileSize) {
  int64_t dataEnd = d.dataStart;
  for (int i = 0; i < d.entries.EntryCount(); ++i) {
    const std::string line = d.entries.GetEntry(i);
    const int64_t stored = ParseInteger(EntryField(line, kEntrySeparator, kFieldStoredSize));
    const int64_t offset = ParseInteger(EntryField(line, kEntrySeparator, kFieldOffset));
    const int64_t end = static_cast<int64_t>(d.dataStart) + offset + stored;
    if (end > fileSize)
      RaiseFormat("data of \"", EntryField(line, kEntrySeparator, kFieldName),
                  "\" lies past the end of the file");
    if (end > dataEnd) dataEnd = end;
  }
  return dataEnd;
}

void ReadAt(FileHandle file, int64_t position, void* buffer, int32_t count, const char* what) {
  if (SeekFile(file, static_cast<int32_t>(position), kSeekFromStart) != position)
    RaiseFormat("cannot reach ", what, "");
  ReadExactly(file, buffer, count, what);
}

uint32_t DirectoryCrc(FileHandle file, int32_t offset, int32_t dataStart) {
  uint8_t buffer[4096];
  uint32_t crc = 0;
  for (int64_t at = offset; at < dataStart;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(sizeof buffer, dataStart - at));
    ReadAt(file, at, buffer, n, "the directory");
    crc = Crc32Update(crc, buffer, static_cast<size_t>(n));
    at += n;
  }
  return crc;
}

// The block lies right behind the data area. Other bytes there, or none, leave the archive
// unchecked; bytes that begin like a block must make a sound one, for an installer whose block
// was damaged is damaged elsewhere just as likely, and unchecked it could start its program
// with damaged files.
//
// A directory damaged in a size or offset field expects the block somewhere else. The block
// then still lies near the end of the file, where at most a signature's certificate table
// follows it: the whole magic there means the installer has checksums, and its damaged
// directory fails their check instead of leaving the archive unchecked.
constexpr int32_t kChecksumSearchSpan = 65536;

int64_t ChecksumBlockInTail(FileHandle file, int32_t dataStart, int32_t fileSize) {
  const int64_t from = std::max<int64_t>(dataStart, int64_t{fileSize} - kChecksumSearchSpan);
  if (fileSize - from < kChecksumMagicSize) return -1;
  std::vector<uint8_t> tail(static_cast<size_t>(fileSize - from));
  ReadAt(file, from, tail.data(), static_cast<int32_t>(tail.size()), "the end of the archive");
  for (size_t at = tail.size() - kChecksumMagicSize + 1; at-- > 0;)
    if (std::memcmp(tail.data() + at, kChecksumMagic, kChecksumMagicSize) == 0) return from + static_cast<int64_t>(at);
  return -1;
}

void ReadChecksumBlock(FileHandle file, int32_t offset, int64_t dataEnd, int32_t fileSize, TArchiveDirectory& d) {
  uint8_t magic[kChecksumMagicSize];
  const int32_t available = static_cast<int32_t>(std::min<int64_t>(kChecksumMagicSize, fileSize - dataEnd));
  if (available > 0) ReadAt(file, dataEnd, magic, available, "the checksum block");
  if (!LooksLikeChecksumBlock(magic, static_cast<size_t>(std::max(available, 0)))) {
    dataEnd = ChecksumBlockInTail(file, d.dataStart, fileSize);
    if (dataEnd < 0) return;
  }
  const uint32_t count = static_cast<uint32_t>(d.entries.EntryCount());
  const int64_t size = ChecksumBlockSize(count);
  if (dataEnd + size > fileSize) RaiseFormat("checksum block cut short");
  std::vector<uint8_t> block(static_cast<size_t>(size));
  ReadAt(file, dataEnd, block.data(), static_cast<int32_t>(size), "the checksum block");
  TArchiveChecksums checksums;
  if (!ParseChecksumBlock(block.data(), count, checksums)) RaiseFormat("checksum block damaged");
  if (DirectoryCrc(file, offset, d.dataStart) != checksums.directory) RaiseFormat("directory checksum mismatch");
  d.checksumsPresent = true;
  d.memberChecksums = std::move(checksums.members);
}

void ReadDirectoryBody(FileHandle file, int32_t offset, TArchiveDirectory& d) {
  d.checksumsPresent = false;
  d.memberChecksums.clear();
  if (offset < 0 || SeekFile(file, offset, kSeekFromStart) != offset)
    RaiseFormat("archive offset ", IntegerText(offset), " outside the file");
  ExpectTag(file, kTagListStart);
  while (!AtListEnd(file)) {
    const TDirectoryEntry entry = ReadEntry(file);
    CheckEntry(entry);
    d.entries.AddEntry(EntryLine(entry));
  }
  ExpectTag(file, kTagListEnd);
  d.dataStart = SeekFile(file, 0, kSeekFromCurrent);
  if (d.dataStart < 0) RaiseFormat("position unknown");
  const int32_t fileSize = SeekFile(file, 0, kSeekFromEnd);
  if (fileSize < 0) RaiseFormat("file size unknown");
  ReadChecksumBlock(file, offset, CheckDataRanges(d, fileSize), fileSize, d);
}

}  // namespace

void ExpectTag(FileHandle file, uint8_t tag) {
  const uint8_t found = ReadTag(file);
  if (found != tag) RaiseFormat("tag ", TagText(found) + " where tag " + TagText(tag), " belongs");
}

bool AtListEnd(FileHandle file) {
  const uint8_t tag = ReadTag(file);
  if (SeekFile(file, -1, kSeekFromCurrent) < 0) RaiseFormat("cannot step back");
  return tag == kTagListEnd;
}

int32_t ReadIntegerValue(FileHandle file) { return ReadIntegerPayload(file, ReadTag(file)); }

long double ReadFloatValue(FileHandle file) {
  const uint8_t tag = ReadTag(file);
  if (tag != kTagExtended) {
    if (SeekFile(file, -1, kSeekFromCurrent) < 0) RaiseFormat("cannot step back");
    return static_cast<long double>(ReadIntegerValue(file));
  }
  uint8_t bytes[kExtendedSize];
  ReadExactly(file, bytes, kExtendedSize, "a float");
  const long double value = DecodeExtended(bytes);
  // An unnormal (exponent set, integer bit clear) is refused by the FPU as an invalid
  // operand; a NaN of the proper form is taken as it stands.
  const bool unnormal = (bytes[8] | (bytes[9] & 0x7F)) != 0 && (bytes[7] & 0x80) == 0;
  if (unnormal) RaiseFormat("unsupported float encoding");
  return value;
}

std::string ReadStringValue(FileHandle file) {
  const uint8_t tag = ReadTag(file);
  uint32_t length = 0;
  if (tag == kTagString) {
    uint8_t byte = 0;
    ReadExactly(file, &byte, 1, "a string length");
    length = byte;
  } else if (tag == kTagLongString) {
    uint8_t bytes[4];
    ReadExactly(file, bytes, 4, "a string length");
    length = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  } else {
    RaiseFormat("tag ", TagText(tag), " where a string belongs");
  }
  // The length is checked against what the file holds before any storage is taken for it.
  const int32_t here = SeekFile(file, 0, kSeekFromCurrent);
  const int32_t end = SeekFile(file, 0, kSeekFromEnd);
  if (here < 0 || end < 0 || SeekFile(file, here, kSeekFromStart) != here ||
      static_cast<int64_t>(length) > static_cast<int64_t>(end) - here)
    RaiseFormat("file ends inside a string");
  std::string text(length, '\0');
  if (length > 0) ReadExactly(file, &text[0], static_cast<int32_t>(length), "a string");
  return text;
}

// Win32 takes the part of a name before its first dot, without the blanks that end it, for
// the device: "nul.txt", "Con .log" and "COM1..." name devices as "NUL" does. The ANSI code
// page's superscript digits count as digits there.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = UpperAscii(base);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (base == device) return true;
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool IsSafeMemberName(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 32 || c == ':') return false;
  // One leading "\" is dropped by extraction; whatever follows must not be rooted again.
  const size_t afterRoot = !name.empty() && name[0] == '\\' ? 1 : 0;
  if (name.size() > afterRoot && IsSeparator(name[afterRoot])) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string component = name.substr(start, end - start);
    if (IsParentComponent(component) || IsDeviceName(component)) return false;
    start = end + 1;
  }
  return true;
}

void LoadArchiveDirectory(const std::string& path, int32_t offset, TArchiveDirectory& directory) {
  directory.archivePath = path;
  const FileHandle file = OpenExistingFile(path, kModeReadShared);
  if (file == kInvalidHandle) RaiseFormat("cannot open ", path, "");
  try {
    ReadDirectoryBody(file, offset, directory);
  } catch (...) {
    CloseFileHandle(file);
    throw;
  }
  CloseFileHandle(file);
}
