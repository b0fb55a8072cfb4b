// The directory reader: reads the archive behind an installer's image into an entry list
// (archive/entry_list.h) with one entry line per member. The container is laid out in
// archive/format.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry_list.h"
#include "host/exceptions.h"
#include "host/files.h"

// A directory that does not read back. The message is always "This is not a valid archive"
// (what the user sees); the detail says what was wrong, for the builder's diagnostics.
class EArchiveFormat : public Exception {
 public:
  explicit EArchiveFormat(std::string detail);
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

// What the directory reader gives: the file holding the archive, the absolute position of its
// data area, the entry lines, and from the archive's checksum block (archive/format.h) whether
// it carries a sound one and then each member's CRC-32 in entry order. Without one, nothing is
// checked.
struct TArchiveDirectory {
  std::string archivePath;
  int32_t dataStart = 0;
  TEntryList entries;
  bool checksumsPresent = false;
  std::vector<uint32_t> memberChecksums;
};

// Value readers on an open file; each consumes what it reads and raises EArchiveFormat for a
// tag not accepted in its place or a read that delivers fewer bytes than asked.
void ExpectTag(FileHandle file, uint8_t tag);
bool AtListEnd(FileHandle file);
int32_t ReadIntegerValue(FileHandle file);
long double ReadFloatValue(FileHandle file);
std::string ReadStringValue(FileHandle file);

// A stored name that stays below the target directory however it is written: no ".."
// component, no ":", not rooted twice ("\\", "\/"), no character below 32, and no component
// that Windows opens as a device (IsDeviceName), where a member's bytes would go to a port.
// "/" counts as a separator here because Win32 and the POSIX layer both treat it as one. An
// empty name passes.
bool IsSafeMemberName(const std::string& name);

// A path component naming a Windows device: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1..COM9 or
// LPT1..LPT9 (also with the superscript digits 1 to 3 of the ANSI code page, 0xB9, 0xB2,
// 0xB3), in any case, with any extension, and with blanks before the extension or dots and
// blanks at the end, which Windows drops.
bool IsDeviceName(const std::string& component);

// Reads the directory at `offset` of `path` into `directory` and checks it: every name is
// safe, sizes and offsets are not negative, every member's data lies inside the file, and,
// when the archive carries checksums, the directory's bytes match theirs. Raises
// EArchiveFormat; entries read before a failure stay.
void LoadArchiveDirectory(const std::string& path, int32_t offset, TArchiveDirectory& directory);
