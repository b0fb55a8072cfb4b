// An existing installer opened for inspection: the whole file in memory, where its archive
// starts (from the stub's offset digits or as given), and its directory as the stub reads it,
// names and data ranges checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/config.h"
#include "tools/sfxpack/stub/stub_image.h"

struct TMember {
  std::string name;        // in UTF-8, converted from the installer's code page
  std::string storedName;  // the bytes the directory holds
  bool nameDecodes = true; // false: not text in that code page; `name` shows the bytes as \xNN
  int32_t unpackedSize = 0;
  int32_t storedSize = 0;
  int32_t attributes = 0;
  long double dateTime = 0;
  int32_t offset = 0;  // from the start of the data area
  uint32_t checksum = 0;  // CRC-32 of the unpacked bytes, when the installer carries checksums
};


struct TInstaller {
  std::string path;            // native path
  std::vector<uint8_t> bytes;  // the whole file
  TOffsetDigits digits;        // carrier None when the offset was given
  uint32_t archiveOffset = 0;
  uint32_t dataStart = 0;
  int codePage = 0;            // of the names: --codepage, else the configuration's CodePage
  std::vector<TMember> members;  // in directory order; the last is the configuration
  bool hasChecksums = false;  // a checksum block behind the data (older builders wrote none)

  // The end of the last member's data: anything behind it (a signature's certificate table,
  // padding) belongs to no member.
  uint64_t ArchiveEnd() const;
  // The end of the archive's own bytes: ArchiveEnd, or behind the checksum block.
  uint64_t ArchiveBytesEnd() const;
  const uint8_t* MemberData(const TMember& member) const {
    return bytes.data() + dataStart + static_cast<uint32_t>(member.offset);
  }
};

// The whole file; raises EPackError naming the file and the reason.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Raises EPackError for an unreadable file, a missing offset, or a directory the stub would
// refuse ("FILE: not a valid archive: <what is wrong>"). The names are read in `codePage`
// when given, else in the one the configuration records (1252 when it records none).
TInstaller OpenInstaller(const std::string& path, std::optional<uint32_t> offset,
                         std::optional<int> codePage = std::nullopt);

// The configuration as the last member records it; nullopt when there is none or it is damaged
// (test and extract tell that; list and the code page go without).
std::optional<TConfiguration> IntactConfiguration(const TInstaller& installer);

class ParsedOptions;
// The --offset option shared by list, test, extract and restub; nullopt when not given.
std::optional<uint32_t> OffsetOption(const ParsedOptions& options);
