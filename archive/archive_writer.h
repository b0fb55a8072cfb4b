// The builder's side of the container (layout in archive/format.h): the directory writer and
// a helper that lays out a whole archive image. Used by sfxpack and by the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/format.h"

using ArchiveBytes = std::vector<uint8_t>;

// One member's directory entry as the builder writes it.
struct TMemberEntry {
  std::string name;          // "\" separators; may begin with "\"
  int32_t unpackedSize = 0;
  int32_t storedSize = 0;
  int32_t offset = 0;        // from the start of the data area
  int32_t attributes = 32;   // FILE_ATTRIBUTE_ARCHIVE
  long double dateTime = 0;  // days since 1899-12-30, local time
  // Writes the date as an integer (whole days, fraction dropped) instead of tag 5.
  bool dateInWholeDays = false;
  // 0: smallest-fit integer tags; kTagInt8/16/32: that tag for every integer of the entry
  // (the value must fit it). Lets tests produce every width the reader accepts.
  uint8_t integerTag = 0;
  // Writes the name with tag 12 even when it would fit tag 6.
  bool longName = false;
};

// Value writers, appending to `out`.
void WriteIntegerValue(ArchiveBytes& out, int32_t value);              // smallest fit
void WriteIntegerValueAs(ArchiveBytes& out, uint8_t tag, int32_t value);  // throws if it does not fit
void WriteFloatValue(ArchiveBytes& out, long double value);            // tag 5
void WriteStringValue(ArchiveBytes& out, const std::string& text);     // tag 6, or 12 past 255
void WriteLongStringValue(ArchiveBytes& out, const std::string& text); // tag 12
void WriteEntryValues(ArchiveBytes& out, const TMemberEntry& entry);   // the six values

// Tag 1, the entries in order, tag 0.
ArchiveBytes WriteArchiveDirectory(const std::vector<TMemberEntry>& entries);

// Directory followed by the data area. Each entry's storedSize and offset are taken from the
// streams (offsets in entry order without gaps, from 0); streams.size() must equal
// entries.size(). The last entry should be the configuration member.
ArchiveBytes BuildArchiveImage(std::vector<TMemberEntry> entries,
                               const std::vector<ArchiveBytes>& streams);

// The same followed by the checksum block; memberChecksums holds the CRC-32 of each member's
// unpacked bytes, one per entry.
ArchiveBytes BuildCheckedArchiveImage(const std::vector<TMemberEntry>& entries,
                                      const std::vector<ArchiveBytes>& streams,
                                      const std::vector<uint32_t>& memberChecksums);

// The checksum block for a directory with that CRC and those member CRCs.
ArchiveBytes WriteChecksumBlock(uint32_t directoryChecksum, const std::vector<uint32_t>& memberChecksums);
