// A Windows program image (PE32 or PE32+) read for its resources and written back with them
// changed: the installer author's icon and version strings go into the stub, and the offset
// digits are found in its string table.
//
// The image is treated as hostile: every offset, count and size is checked against the bytes
// that are there before it is used, and anything that does not add up raises EBadImage.
// Resources the rewrite does not touch (the string table, the dialog template) keep their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/sfxpack/errors.h"

SFX_DECLARE_EXCEPTION(EBadImage, EPackError);

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceDialog = 5;
constexpr uint16_t kResourceString = 6;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceVersion = 16;

// A resource type, name or language: a number, or a UTF-16 name.
struct TResourceKey {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static TResourceKey Id(uint16_t id) { return TResourceKey{false, id, {}}; }
  static TResourceKey Named(std::u16string name) { return TResourceKey{true, 0, std::move(name)}; }
};
// The order the loader's binary search expects: names first (by UTF-16 code unit), then
// numbers ascending.
bool operator<(const TResourceKey& a, const TResourceKey& b);
bool operator==(const TResourceKey& a, const TResourceKey& b);

struct TResourceData {
  Bytes bytes;
  uint32_t codePage = 0;
  uint32_t address = 0;  // where the image held the bytes (a relative address); 0 for new data
};
// The same bytes and code page, wherever they lay.
bool operator==(const TResourceData& a, const TResourceData& b);

using LanguageMap = std::map<TResourceKey, TResourceData>;
using NameMap = std::map<TResourceKey, LanguageMap>;
using ResourceTree = std::map<TResourceKey, NameMap>;  // type -> name -> language -> data

// Whether the bytes start like a PE file ("MZ", then "PE\0\0" where e_lfanew points).
bool IsPeImage(const uint8_t* image, size_t size);

// A parsed image with its resources taken out for editing. It reads the bytes it was made
// from until it is destroyed: they must outlive it. Bytes behind the last section (an
// appended archive) are carried along untouched.
class PeImage {
 public:
  // Raises EBadImage for anything but a well-formed image with a resource section.
  PeImage(const uint8_t* image, size_t size);
  explicit PeImage(const Bytes& image) : PeImage(image.data(), image.size()) {}

  ResourceTree& Resources() { return resources_; }
  const ResourceTree& Resources() const { return resources_; }

  // File position of `size` bytes at a relative address, when they lie in one section's raw
  // data; raises EBadImage otherwise.
  size_t FilePosition(uint32_t address, uint32_t size) const;

  // The image with the resources serialised into a new resource section: section sizes,
  // the image size, the resource directory entry and the sections behind the resources
  // (relocations, debugging data) moved as needed; the checksum recomputed when the original
  // had one. Raises EBadImage when the layout cannot be changed safely.
  Bytes Build() const;

  struct TSection {
    size_t header;  // file position of its section header
    uint32_t virtualSize, virtualAddress, rawSize, rawPosition, characteristics;

    uint32_t Span() const { return virtualSize != 0 ? virtualSize : rawSize; }
    bool HoldsAddress(uint32_t rva) const {
      return rva >= virtualAddress && rva - virtualAddress < Span();
    }
  };

 private:
  const uint8_t* data_;
  size_t size_;
  ResourceTree resources_;
  std::vector<TSection> sections_;
  uint32_t directoryStamp_ = 0;
  size_t header_ = 0;        // file position of "PE\0\0"
  size_t directories_ = 0;   // position of the data directories in the optional header
  unsigned directoryCount_ = 0;
  unsigned resourceSection_ = 0;
};

// The resource section's bytes for a tree, laid out for the section's virtual address.
Bytes SerialiseResources(const ResourceTree& tree, uint32_t sectionAddress, uint32_t stamp = 0);

// The image checksum: 16-bit folded sum of the file with the checksum field counted as zero,
// plus the file length. The two-part form sums a file made of `head` and `tail`, such as a
// stub and the archive behind it.
uint32_t ImageChecksum(const Bytes& image, size_t checksumPosition);
uint32_t ImageChecksum(const uint8_t* head, size_t headSize, const uint8_t* tail,
                       size_t tailSize, size_t checksumPosition);
// File position of an image's checksum field, from its headers alone; raises EBadImage when
// there is none.
size_t ChecksumPosition(const Bytes& image);
