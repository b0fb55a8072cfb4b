// Rewriting the resources of a 32-bit Windows program image: the installer author's icon and
// version strings go into the stub before the archive is appended.
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
constexpr uint16_t kResourceManifest = 24;

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
};
bool operator==(const TResourceData& a, const TResourceData& b);

using LanguageMap = std::map<TResourceKey, TResourceData>;
using NameMap = std::map<TResourceKey, LanguageMap>;
using ResourceTree = std::map<TResourceKey, NameMap>;  // type -> name -> language -> data

// A parsed PE32 image with its resources taken out for editing.
class PeImage {
 public:
  // Raises EBadImage for anything but a well-formed PE32 image with a resource section.
  explicit PeImage(Bytes image);

  ResourceTree& Resources() { return resources_; }
  const ResourceTree& Resources() const { return resources_; }

  // The image with the resources serialised into a new resource section: section sizes,
  // the image size, the resource directory entry and the sections behind the resources
  // (relocations, debugging data) moved as needed; the checksum recomputed when the original
  // had one. Raises EBadImage when the layout cannot be changed safely.
  Bytes Build() const;

 private:

  Bytes image_;
  ResourceTree resources_;
  uint32_t directoryStamp_ = 0;
  size_t header_ = 0;        // file position of "PE\0\0"
  size_t sectionTable_ = 0;  // file position of the first section header
  unsigned sectionCount_ = 0;
  unsigned directoryCount_ = 0;
  size_t directories_ = 0;   // position of the data directories in the optional header
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
// File position of a PE32 image's checksum field; raises EBadImage when there is none.
size_t ChecksumPosition(const Bytes& image);

// Replaces the program's icon with the icons of an .ico file: the first icon group (or a new
// group 1) gets the file's images, icons no other group uses are dropped. Raises EBadImage
// when the .ico file is malformed.
void SetIconGroup(ResourceTree& tree, const Bytes& icoFile);

// Replaces or adds the given strings in every version resource (a new one when there is
// none). "FileVersion" and "ProductVersion" of the form a.b.c.d also set the numeric versions.
void SetVersionStrings(ResourceTree& tree,
                       const std::vector<std::pair<std::string, std::string>>& strings);

// Reads a string of a version resource's first string table; empty when absent.
std::string VersionString(const Bytes& versionResource, const std::string& key);

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
