#include "tools/sfxpack/stub_image.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kStringResourceType = 6;  // RT_STRING
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kNameIsStringBit = 0x80000000u;
// Windows itself loads no image with more sections than this.
constexpr uint32_t kMaxSections = 96;

// A bounds-checked view of the file's bytes. Every read states where and how much; a read
// that does not fit yields false and leaves the value alone.
class ByteView {
 public:
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Size() const { return size_; }
  bool Fits(uint64_t at, uint64_t length) const {
    return at <= size_ && length <= size_ - at;
  }
  bool U16(uint64_t at, uint16_t& value) const {
    if (!Fits(at, 2)) return false;
    value = static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
    return true;
  }
  bool U32(uint64_t at, uint32_t& value) const {
    if (!Fits(at, 4)) return false;
    value = static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
            static_cast<uint32_t>(data_[at + 2]) << 16 |
            static_cast<uint32_t>(data_[at + 3]) << 24;
    return true;
  }
  const uint8_t* At(uint64_t at) const { return data_ + at; }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct TSection {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawPointer;
};

struct TPeLayout {
  std::vector<TSection> sections;
  uint32_t resourceRva = 0;
  uint32_t resourceSize = 0;
};

bool ReadPeLayout(const ByteView& view, TPeLayout& layout) {
  uint32_t peHeader = 0;
  if (!view.U32(0x3C, peHeader) || !view.Fits(peHeader, 24)) return false;
  if (std::memcmp(view.At(peHeader), "PE\0\0", 4) != 0) return false;
  const uint64_t coff = uint64_t{peHeader} + 4;
  uint16_t sectionCount = 0;
  uint16_t optionalSize = 0;
  if (!view.U16(coff + 2, sectionCount) || !view.U16(coff + 16, optionalSize)) return false;
  const uint64_t optional = coff + 20;
  uint16_t magic = 0;
  if (!view.U16(optional, magic)) return false;
  // Where NumberOfRvaAndSizes and the data directories stand differs between PE32 and PE32+.
  uint64_t countField;
  if (magic == kPe32Magic) {
    countField = 92;
  } else if (magic == kPe32PlusMagic) {
    countField = 108;
  } else {
    return false;
  }
  uint32_t directoryCount = 0;
  if (!view.U32(optional + countField, directoryCount)) return false;
  const uint64_t resourceEntry = countField + 4 + 8 * uint64_t{kResourceDirectoryIndex};
  if (directoryCount <= kResourceDirectoryIndex || resourceEntry + 8 > optionalSize) return false;
  if (!view.U32(optional + resourceEntry, layout.resourceRva) ||
      !view.U32(optional + resourceEntry + 4, layout.resourceSize)) {
    return false;
  }
  if (sectionCount > kMaxSections) return false;
  const uint64_t table = optional + optionalSize;
  if (!view.Fits(table, uint64_t{sectionCount} * 40)) return false;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = table + 40 * uint64_t{i};
    TSection section{};
    view.U32(at + 8, section.virtualSize);
    view.U32(at + 12, section.virtualAddress);
    view.U32(at + 16, section.rawSize);
    view.U32(at + 20, section.rawPointer);
    layout.sections.push_back(section);
  }
  return layout.resourceRva != 0;
}

// Maps `length` bytes at an RVA to the file, when they lie in one section's raw data. Bytes
// that exist only in memory (beyond the raw data) are of no use to a reader of the file.
bool RvaToFile(const ByteView& view, const TPeLayout& layout, uint32_t rva, uint32_t length,
               uint64_t& position) {
  for (const TSection& section : layout.sections) {
    if (rva < section.virtualAddress) continue;
    const uint64_t into = uint64_t{rva} - section.virtualAddress;
    if (into >= section.rawSize || length > section.rawSize - into) continue;
    position = uint64_t{section.rawPointer} + into;
    return view.Fits(position, length);
  }
  return false;
}

// The resource tree: directories of 16 bytes followed by 8-byte entries (named entries
// first, then numbered ones); an entry's second word points, relative to the tree's start,
// to a subdirectory (high bit set) or to a 16-byte data entry.
class ResourceTree {
 public:
  ResourceTree(const ByteView& view, uint64_t base) : view_(view), base_(base) {}

  // The target of the numbered entry `id` of the directory at `directory`; any entry when
  // `id` is negative (the language level, where any language will do).
  bool FindEntry(uint32_t directory, long id, uint32_t& target) const {
    const uint64_t at = base_ + directory;
    uint16_t named = 0;
    uint16_t numbered = 0;
    if (!view_.U16(at + 12, named) || !view_.U16(at + 14, numbered)) return false;
    const uint32_t total = uint32_t{named} + numbered;
    if (!view_.Fits(at + 16, uint64_t{total} * 8)) return false;
    for (uint32_t i = 0; i < total; ++i) {
      uint32_t nameField = 0;
      uint32_t offsetField = 0;
      view_.U32(at + 16 + 8 * uint64_t{i}, nameField);
      view_.U32(at + 20 + 8 * uint64_t{i}, offsetField);
      if (id < 0 || ((nameField & kNameIsStringBit) == 0 && nameField == uint32_t(id))) {
        target = offsetField;
        return true;
      }
    }
    return false;
  }

  bool FindSubdirectory(uint32_t directory, long id, uint32_t& subdirectory) const {
    uint32_t target = 0;
    if (!FindEntry(directory, id, target) || (target & kSubdirectoryBit) == 0) return false;
    subdirectory = target & ~kSubdirectoryBit;
    return true;
  }

  bool FindData(uint32_t directory, uint32_t& dataRva, uint32_t& dataSize) const {
    uint32_t target = 0;
    if (!FindEntry(directory, -1, target) || (target & kSubdirectoryBit) != 0) return false;
    return view_.U32(base_ + target, dataRva) && view_.U32(base_ + target + 4, dataSize);
  }

 private:
  const ByteView& view_;
  uint64_t base_;
};

// A string table block holds 16 strings, each a 16-bit length followed by that many UTF-16
// characters; string `id` is number id % 16 of block id / 16 + 1.
bool FindStringInBlock(const ByteView& view, uint64_t block, uint32_t blockSize, uint16_t index,
                       size_t& position, size_t& length) {
  uint64_t at = block;
  const uint64_t end = block + blockSize;
  for (uint16_t i = 0;; ++i) {
    uint16_t characters = 0;
    if (at + 2 > end || !view.U16(at, characters)) return false;
    const uint64_t text = at + 2;
    const uint64_t next = text + 2 * uint64_t{characters};
    if (next > end) return false;
    if (i == index) {
      position = static_cast<size_t>(text);
      length = characters;
      return true;
    }
    at = next;
  }
}

bool ParseDigits(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > kOffsetDigitCount) return false;
  uint32_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint32_t>(c - '0');
  }
  value = result;
  return true;
}

bool FindPeDigits(const uint8_t* image, size_t size, TOffsetDigits& found, std::string& reason) {
  size_t position = 0;
  size_t length = 0;
  if (!FindPeStringResource(image, size, 1, position, length)) {
    reason = "PE file without string resource 1 (not an installer stub?)";
    return false;
  }
  std::string text;
  for (size_t i = 0; i < length && text.size() <= kOffsetDigitCount; ++i) {
    const uint8_t low = image[position + 2 * i];
    const uint8_t high = image[position + 2 * i + 1];
    text.push_back(high == 0 ? static_cast<char>(low) : '?');
  }
  if (!ParseDigits(text, found.value)) {
    reason = "string resource 1 is not an archive offset";
    return false;
  }
  found.carrier = OffsetCarrier::PeStringResource;
  found.position = position;
  found.digitCount = static_cast<int>(length);
  return true;
}

// The first marker that is followed by nine digits: the stub's own block comes before any
// appended data, so a marker inside a packed member cannot be taken for it.
bool FindNativeDigits(const uint8_t* image, size_t size, TOffsetDigits& found) {
  const size_t markerLength = sizeof(kNativeOffsetMarker) - 1;
  const size_t needed = markerLength + kOffsetDigitCount;
  if (size < needed) return false;
  for (size_t at = 0; at + needed <= size; ++at) {
    const void* hit = std::memchr(image + at, kNativeOffsetMarker[0], size - needed + 1 - at);
    if (hit == nullptr) return false;
    at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - image);
    if (std::memcmp(image + at, kNativeOffsetMarker, markerLength) != 0) continue;
    const std::string digits(reinterpret_cast<const char*>(image) + at + markerLength,
                             kOffsetDigitCount);
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    ParseDigits(digits, found.value);
    found.carrier = OffsetCarrier::NativeBlock;
    found.position = at + markerLength;
    found.digitCount = kOffsetDigitCount;
    return true;
  }
  return false;
}

}  // namespace

bool IsPeImage(const uint8_t* image, size_t size) {
  const ByteView view(image, size);
  uint32_t peHeader = 0;
  return view.Fits(0, 2) && image[0] == 'M' && image[1] == 'Z' && view.U32(0x3C, peHeader) &&
         view.Fits(peHeader, 4) && std::memcmp(image + peHeader, "PE\0\0", 4) == 0;
}

bool FindPeStringResource(const uint8_t* image, size_t size, uint16_t id, size_t& position,
                          size_t& length) {
  const ByteView view(image, size);
  TPeLayout layout;
  if (!IsPeImage(image, size) || !ReadPeLayout(view, layout)) return false;
  uint64_t base = 0;
  if (!RvaToFile(view, layout, layout.resourceRva, 16, base)) return false;
  const ResourceTree tree(view, base);
  uint32_t names = 0;
  uint32_t languages = 0;
  uint32_t dataRva = 0;
  uint32_t dataSize = 0;
  if (!tree.FindSubdirectory(0, kStringResourceType, names) ||
      !tree.FindSubdirectory(names, id / 16 + 1, languages) ||
      !tree.FindData(languages, dataRva, dataSize)) {
    return false;
  }
  uint64_t block = 0;
  if (!RvaToFile(view, layout, dataRva, dataSize, block)) return false;
  return FindStringInBlock(view, block, dataSize, static_cast<uint16_t>(id % 16), position,
                           length);
}

bool FindOffsetDigits(const uint8_t* image, size_t size, TOffsetDigits& found,
                      std::string& reason) {
  found = TOffsetDigits{};
  if (IsPeImage(image, size)) {
    if (FindPeDigits(image, size, found, reason)) return true;
    // A PE image may still carry the native block (a stub built some other way).
    return FindNativeDigits(image, size, found);
  }
  if (FindNativeDigits(image, size, found)) return true;
  reason = "no archive offset found: neither a Win32 stub nor a native stub (try --offset)";
  return false;
}

bool WriteOffsetDigits(std::vector<uint8_t>& image, const TOffsetDigits& at, uint32_t value) {
  if (value > kLargestOffset || at.digitCount != kOffsetDigitCount) return false;
  const std::string digits = OffsetDigitsText(value);
  const size_t width = at.carrier == OffsetCarrier::PeStringResource ? 2 : 1;
  if (at.carrier == OffsetCarrier::None || at.position > image.size() ||
      image.size() - at.position < width * kOffsetDigitCount) {
    return false;
  }
  for (int i = 0; i < kOffsetDigitCount; ++i) {
    image[at.position + width * i] = static_cast<uint8_t>(digits[i]);
    if (width == 2) image[at.position + width * i + 1] = 0;
  }
  return true;
}

std::string OffsetDigitsText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%09u", value);
  return text;
}
