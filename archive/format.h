// The archive container, shared by the stub's reader and the builder's writer.
//
//   program file
//   +----------------------+  offset 0
//   | stub image           |
//   +----------------------+  archive offset (nine decimal digits carried by the stub)
//   | 01                   |  start of list
//   | entry 0              |  six values, see below
//   | ...                  |
//   | entry n-1            |  always the configuration member
//   | 00                   |  end of list
//   +----------------------+  DataStart = position right after the 00
//   | data area            |  member k's stream: stored-size bytes at DataStart + offset
//   +----------------------+  (the builder writes them in entry order, without gaps)
//   | checksum block       |  at DataStart + the largest (offset + stored size); optional:
//   +----------------------+  older builders and hand-made archives have none
//   | anything             |  a signature's certificate table, padding: read by nobody
//   +----------------------+
//
//   entry:  name           06 len8 bytes...  | 0C len32 bytes...
//           unpacked size  integer
//           stored size    integer
//           offset         integer (from DataStart)
//           attributes     integer (Win32 attribute bits)
//           date/time      05 + 10 bytes (x87 extended) | integer (whole days)
//
//   integer: 02 int8 | 03 int16 | 04 int32, little-endian, signed; the builder uses the
//            smallest tag whose range holds the value.
//   x87 extended, little-endian: 8 bytes significand with explicit integer bit, then
//            2 bytes: bit 15 sign, bits 0-14 exponent biased by 16383.
//   date/time: days since 1899-12-30, the fraction being the time of day, local time.
//
//   checksum block, every number a little-endian uint32, every CRC a CRC-32 (archive/crc32.h):
//           "SFXSUM01"     8 bytes, no terminator
//           count          the number of directory entries
//           directory CRC  over the archive's bytes from its first (the 01) up to DataStart
//           count x CRC    each member's unpacked bytes, in entry order
//           block CRC      over the block's bytes before it
//   Bytes behind the data that are not a block (none: an older builder; a signature's
//   certificate table) leave the archive unchecked, as archives without a block always were.
//   Bytes that begin like a block (LooksLikeChecksumBlock) but do not make a sound one mean a
//   damaged installer, read no further.
//
// Names are 8-bit text with "\" separators, without terminator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lzh/lzh_format.h"

constexpr uint8_t kTagListEnd = 0;
constexpr uint8_t kTagListStart = 1;
constexpr uint8_t kTagInt8 = 2;
constexpr uint8_t kTagInt16 = 3;
constexpr uint8_t kTagInt32 = 4;
constexpr uint8_t kTagExtended = 5;
constexpr uint8_t kTagString = 6;
constexpr uint8_t kTagLongString = 12;

constexpr int kExtendedSize = 10;
constexpr int kMaxShortStringLength = 255;

// Fields of an entry line (1-based, as EntryField counts them). The order differs from the
// order of the values in the directory.
inline constexpr char kEntrySeparator[] = "\t";
constexpr int kFieldName = 1;
constexpr int kFieldUnpackedSize = 2;
constexpr int kFieldStoredSize = 3;
constexpr int kFieldAttributes = 4;
constexpr int kFieldDateTime = 5;
constexpr int kFieldOffset = 6;

// Whether a member whose stream decoded to `decoded` bytes is the member recorded with
// `recorded` unpacked bytes: the stub and the builder's test and extract judge by this alone
// (checksums, where present, then judge the recorded bytes). Our encoder's streams decode to
// exactly their size. One from another encoder may carry more than the end marker behind its
// last item (a padding byte, say), which a decoder reads as one more item: the stub accepts
// at most one longest match of such surplus and keeps only the recorded bytes, as it always
// has, so installers that rely on that keep working. More means the stream is not this
// member's.
constexpr int32_t kMaxDecodeSurplus = lzh::kMaxMatch;
constexpr bool DecodedSizeFits(int64_t decoded, int32_t recorded) {
  return recorded >= 0 && decoded >= recorded && decoded - recorded <= kMaxDecodeSurplus;
}

inline constexpr char kInvalidArchiveText[] = "This is not a valid archive";
inline constexpr char kArchiveReadErrorCaption[] = "Archive read error";

// The configuration member (the last entry) and the delete list beside the members.
inline constexpr char kConfigSection[] = "KVTR Configuration";
inline constexpr char kConfigMemberName[] = "$k$v$t$r.cnf";
inline constexpr char kDeleteListName[] = "$d$e$l$.lst";

// The 10-byte x87 extended layout, by hand so that neither side depends on the width of the
// compiler's long double beyond its range. Infinities and NaNs round-trip; values that the
// host's long double cannot hold saturate or flush to zero.
void EncodeExtended(long double value, uint8_t bytes[kExtendedSize]);
long double DecodeExtended(const uint8_t bytes[kExtendedSize]);

// The checksum block.
inline constexpr char kChecksumMagic[] = "SFXSUM01";
constexpr int kChecksumMagicSize = 8;
constexpr int kChecksumHeaderSize = kChecksumMagicSize + 4 + 4;  // magic, count, directory CRC

inline int64_t ChecksumBlockSize(uint32_t count) { return kChecksumHeaderSize + 4 * int64_t{count} + 4; }

struct TArchiveChecksums {
  uint32_t directory = 0;
  std::vector<uint32_t> members;  // in entry order
};

// The first `available` bytes behind the data area (at most 8 are looked at) begin like a
// checksum block: the magic as far as the file holds it, or, with flipped bits, at least 5 of
// its 8 bytes. Nothing else an archive is followed by (padding, a certificate table) comes
// near that, so such bytes are a block, damaged or cut short if it does not parse.
bool LooksLikeChecksumBlock(const uint8_t* bytes, size_t available);

// True when `bytes`, ChecksumBlockSize(count) of them, are a whole block for `count` entries;
// `checksums` then holds its CRCs.
bool ParseChecksumBlock(const uint8_t* bytes, uint32_t count, TArchiveChecksums& checksums);
