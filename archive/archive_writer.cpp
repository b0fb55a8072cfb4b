#include "archive/archive_writer.h"

#include <cmath>

#include "archive/crc32.h"
#include "host/exceptions.h"

namespace {

void PutLittleEndian(ArchiveBytes& out, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int PayloadSize(uint8_t tag) {
  switch (tag) {
    case kTagInt8: return 1;
    case kTagInt16: return 2;
    case kTagInt32: return 4;
  }
  throw Exception("Not an integer tag: " + std::to_string(tag));
}

bool FitsTag(uint8_t tag, int32_t value) {
  switch (tag) {
    case kTagInt8: return value >= -128 && value <= 127;
    case kTagInt16: return value >= -32768 && value <= 32767;
    default: return true;
  }
}

}  // namespace

void WriteIntegerValueAs(ArchiveBytes& out, uint8_t tag, int32_t value) {
  const int size = PayloadSize(tag);
  if (!FitsTag(tag, value))
    throw Exception("Integer " + std::to_string(value) + " does not fit tag " + std::to_string(tag));
  out.push_back(tag);
  PutLittleEndian(out, static_cast<uint32_t>(value), size);
}

void WriteIntegerValue(ArchiveBytes& out, int32_t value) {
  const uint8_t tag = FitsTag(kTagInt8, value) ? kTagInt8 : FitsTag(kTagInt16, value) ? kTagInt16 : kTagInt32;
  WriteIntegerValueAs(out, tag, value);
}

void WriteFloatValue(ArchiveBytes& out, long double value) {
  uint8_t bytes[kExtendedSize];
  EncodeExtended(value, bytes);
  out.push_back(kTagExtended);
  out.insert(out.end(), bytes, bytes + kExtendedSize);
}

void WriteLongStringValue(ArchiveBytes& out, const std::string& text) {
  out.push_back(kTagLongString);
  PutLittleEndian(out, static_cast<uint32_t>(text.size()), 4);
  out.insert(out.end(), text.begin(), text.end());
}

void WriteStringValue(ArchiveBytes& out, const std::string& text) {
  if (text.size() > kMaxShortStringLength) {
    WriteLongStringValue(out, text);
    return;
  }
  out.push_back(kTagString);
  out.push_back(static_cast<uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

void WriteEntryValues(ArchiveBytes& out, const TMemberEntry& entry) {
  if (entry.longName)
    WriteLongStringValue(out, entry.name);
  else
    WriteStringValue(out, entry.name);
  auto integer = [&](int32_t value) {
    if (entry.integerTag == 0)
      WriteIntegerValue(out, value);
    else
      WriteIntegerValueAs(out, entry.integerTag, value);
  };
  integer(entry.unpackedSize);
  integer(entry.storedSize);
  integer(entry.offset);
  integer(entry.attributes);
  if (entry.dateInWholeDays)
    integer(static_cast<int32_t>(std::trunc(entry.dateTime)));
  else
    WriteFloatValue(out, entry.dateTime);
}

ArchiveBytes WriteArchiveDirectory(const std::vector<TMemberEntry>& entries) {
  ArchiveBytes out;
  out.push_back(kTagListStart);
  for (const TMemberEntry& entry : entries) WriteEntryValues(out, entry);
  out.push_back(kTagListEnd);
  return out;
}

ArchiveBytes BuildArchiveImage(std::vector<TMemberEntry> entries,
                               const std::vector<ArchiveBytes>& streams) {
  if (entries.size() != streams.size())
    throw Exception("Archive image: " + std::to_string(entries.size()) + " entries but " +
                    std::to_string(streams.size()) + " streams");
  int64_t offset = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (offset + static_cast<int64_t>(streams[i].size()) > INT32_MAX)
      throw Exception("Archive image: data area larger than 2 GiB");
    entries[i].offset = static_cast<int32_t>(offset);
    entries[i].storedSize = static_cast<int32_t>(streams[i].size());
    offset += static_cast<int64_t>(streams[i].size());
  }
  ArchiveBytes image = WriteArchiveDirectory(entries);
  for (const ArchiveBytes& stream : streams) image.insert(image.end(), stream.begin(), stream.end());
  return image;
}

ArchiveBytes WriteChecksumBlock(uint32_t directoryChecksum, const std::vector<uint32_t>& memberChecksums) {
  ArchiveBytes block(kChecksumMagic, kChecksumMagic + kChecksumMagicSize);
  PutLittleEndian(block, static_cast<uint32_t>(memberChecksums.size()), 4);
  PutLittleEndian(block, directoryChecksum, 4);
  for (uint32_t crc : memberChecksums) PutLittleEndian(block, crc, 4);
  PutLittleEndian(block, Crc32(block.data(), block.size()), 4);
  return block;
}

ArchiveBytes BuildCheckedArchiveImage(const std::vector<TMemberEntry>& entries,
                                      const std::vector<ArchiveBytes>& streams,
                                      const std::vector<uint32_t>& memberChecksums) {
  if (memberChecksums.size() != entries.size())
    throw Exception("Archive image: " + std::to_string(entries.size()) + " entries but " +
                    std::to_string(memberChecksums.size()) + " checksums");
  ArchiveBytes image = BuildArchiveImage(entries, streams);
  size_t directorySize = image.size();
  for (const ArchiveBytes& stream : streams) directorySize -= stream.size();
  const ArchiveBytes block = WriteChecksumBlock(Crc32(image.data(), directorySize), memberChecksums);
  image.insert(image.end(), block.begin(), block.end());
  return image;
}
