#include "tools/sfxpack/pe_resources.h"

#include <algorithm>
#include <set>

namespace {

// Field positions of the headers, relative to "PE\0\0", the optional header and a section
// header respectively.
constexpr size_t kSectionCountField = 6;
constexpr size_t kSymbolTableField = 12;
constexpr size_t kOptionalSizeField = 20;
constexpr size_t kOptionalHeader = 24;
constexpr size_t kInitializedDataField = 8;
constexpr size_t kSectionAlignmentField = 32;
constexpr size_t kFileAlignmentField = 36;
constexpr size_t kImageSizeField = 56;
constexpr size_t kHeadersSizeField = 60;
constexpr size_t kChecksumField = 64;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kVirtualSizeField = 8;
constexpr size_t kVirtualAddressField = 12;
constexpr size_t kRawSizeField = 16;
constexpr size_t kRawPositionField = 20;
constexpr size_t kCharacteristicsField = 36;

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr unsigned kSecurityDirectory = 4;
constexpr unsigned kResourceDirectory = 2;
constexpr unsigned kRelocationDirectory = 5;
constexpr unsigned kDebugDirectory = 6;
constexpr size_t kDebugEntrySize = 28;
constexpr uint32_t kInitializedData = 0x40;
constexpr uint32_t kDiscardable = 0x02000000;
constexpr uint32_t kSubdirectoryBit = 0x80000000;

[[noreturn]] void Reject(const std::string& reason) { throw EBadImage(reason); }

// The data directories follow the optional header's fixed fields, which a 64-bit image (PE32+)
// makes 16 bytes longer (its image base and stack sizes are 8 bytes wide); the fields before
// them, alignments, sizes and checksum, stand at the same places in both kinds. The directory
// count stands just before the directories.
size_t DirectoriesOf(uint16_t magic) {
  if (magic == kPe32Magic) return 96;
  if (magic == kPe32PlusMagic) return 112;
  Reject("not a 32-bit or 64-bit Windows program");
}

// Bounds-checked little-endian access to a byte range.
class View {
 public:
  View(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit View(const Bytes& bytes) : View(bytes.data(), bytes.size()) {}

  size_t Size() const { return size_; }
  bool Holds(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
  void Need(size_t at, size_t count, const char* what) const {
    if (!Holds(at, count)) Reject(std::string(what) + " lies beyond the end of the data");
  }
  uint16_t U16(size_t at) const {
    Need(at, 2, "a field");
    return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
  }
  uint32_t U32(size_t at) const {
    Need(at, 4, "a field");
    return static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
           static_cast<uint32_t>(data_[at + 2]) << 16 | static_cast<uint32_t>(data_[at + 3]) << 24;
  }
  Bytes Copy(size_t at, size_t count) const {
    Need(at, count, "a block");
    return Bytes(data_ + at, data_ + at + count);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

void Put16(Bytes& out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Append16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PadTo(Bytes& out, size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

struct TSection {
  size_t header;  // file position of its section header
  uint32_t virtualSize, virtualAddress, rawSize, rawPosition, characteristics;

  uint32_t Span() const { return virtualSize != 0 ? virtualSize : rawSize; }
  bool HoldsAddress(uint32_t rva) const {
    return rva >= virtualAddress && rva - virtualAddress < Span();
  }
};

TSection ReadSection(const View& view, size_t header) {
  return TSection{header,
                  view.U32(header + kVirtualSizeField),
                  view.U32(header + kVirtualAddressField),
                  view.U32(header + kRawSizeField),
                  view.U32(header + kRawPositionField),
                  view.U32(header + kCharacteristicsField)};
}

// Walks a resource section: three levels of directories, each entry of the last level a data
// entry whose bytes may lie anywhere in the image.
class ResourceReader {
 public:
  ResourceReader(const View& image, const std::vector<TSection>& sections, const TSection& home)
      : image_(image),
        sections_(sections),
        bytes_(image.Copy(home.rawPosition, std::min(home.rawSize, home.Span()))),
        section_(bytes_) {}

  ResourceTree Read(uint32_t& stamp) {
    section_.Need(0, 16, "the resource directory");
    stamp = section_.U32(4);
    ResourceTree tree;
    for (const auto& [type, typeField] : Entries(0))
      for (const auto& [name, nameField] : Entries(Subdirectory(typeField)))
        for (const auto& [language, leafField] : Entries(Subdirectory(nameField)))
          AddUnique(tree[type][name], language, ReadData(leafField));
    return tree;
  }

 private:
  // The entries of one directory, each with its raw data field.
  std::vector<std::pair<TResourceKey, uint32_t>> Entries(uint32_t directory) {
    if (!visited_.insert(directory).second) Reject("a resource directory is reached twice");
    section_.Need(directory, 16, "a resource directory");
    const size_t count = size_t{section_.U16(directory + 12)} + section_.U16(directory + 14);
    section_.Need(directory + 16, count * 8, "a resource directory's entries");
    std::vector<std::pair<TResourceKey, uint32_t>> entries;
    for (size_t i = 0; i < count; ++i) {
      const size_t at = directory + 16 + i * 8;
      entries.emplace_back(Key(section_.U32(at)), section_.U32(at + 4));
    }
    return entries;
  }

  TResourceKey Key(uint32_t field) const {
    if ((field & kSubdirectoryBit) == 0) {
      if (field > 0xFFFF) Reject("a resource number is out of range");
      return TResourceKey::Id(static_cast<uint16_t>(field));
    }
    const size_t at = field & ~kSubdirectoryBit;
    const size_t length = section_.U16(at);
    section_.Need(at + 2, length * 2, "a resource name");
    std::u16string name;
    for (size_t i = 0; i < length; ++i) name.push_back(section_.U16(at + 2 + i * 2));
    return TResourceKey::Named(name);
  }

  static uint32_t Subdirectory(uint32_t field) {
    if ((field & kSubdirectoryBit) == 0) Reject("a resource directory entry has no subdirectory");
    return field & ~kSubdirectoryBit;
  }

  TResourceData ReadData(uint32_t field) {
    if ((field & kSubdirectoryBit) != 0) Reject("resources are nested more than three deep");
    section_.Need(field, 16, "a resource data entry");
    const uint32_t address = section_.U32(field);
    const uint32_t size = section_.U32(field + 4);
    totalData_ += size;
    if (totalData_ > image_.Size()) Reject("the resource data exceed the image");
    TResourceData data;
    data.bytes = image_.Copy(FilePosition(address, size), size);
    data.codePage = section_.U32(field + 8);
    return data;
  }

  size_t FilePosition(uint32_t address, uint32_t size) const {
    for (const TSection& s : sections_) {
      if (address < s.virtualAddress) continue;
      const uint64_t offset = address - s.virtualAddress;
      if (offset + size <= s.rawSize && offset + size <= std::max(s.virtualSize, s.rawSize))
        return s.rawPosition + offset;
    }
    Reject("resource data lie outside the image's sections");
  }

  static void AddUnique(LanguageMap& map, const TResourceKey& key, TResourceData data) {
    if (!map.emplace(key, std::move(data)).second) Reject("a resource is listed twice");
  }

  const View& image_;
  const std::vector<TSection>& sections_;
  Bytes bytes_;
  View section_;
  std::set<uint32_t> visited_;
  uint64_t totalData_ = 0;
};

}  // namespace

bool operator<(const TResourceKey& a, const TResourceKey& b) {
  if (a.isName != b.isName) return a.isName;
  return a.isName ? a.name < b.name : a.id < b.id;
}

bool operator==(const TResourceKey& a, const TResourceKey& b) {
  return a.isName == b.isName && (a.isName ? a.name == b.name : a.id == b.id);
}

bool operator==(const TResourceData& a, const TResourceData& b) {
  return a.bytes == b.bytes && a.codePage == b.codePage;
}

PeImage::PeImage(Bytes image) : image_(std::move(image)) {
  const View view(image_);
  if (view.Size() < 64 || image_[0] != 'M' || image_[1] != 'Z') Reject("not a Windows program");
  header_ = view.U32(0x3C);
  view.Need(header_, kOptionalHeader + 2, "the PE header");
  if (view.U32(header_) != 0x00004550) Reject("not a Windows program");
  const size_t optional = header_ + kOptionalHeader;
  directories_ = DirectoriesOf(view.U16(optional));
  view.Need(optional, directories_, "the PE header");
  const uint32_t directories = view.U32(optional + directories_ - 4);
  directoryCount_ = directories;
  const size_t optionalSize = view.U16(header_ + kOptionalSizeField);
  if (directories <= kRelocationDirectory || directories > 16 ||
      optionalSize < directories_ + directories * 8)
    Reject("the optional header is malformed");
  const uint32_t sectionAlignment = view.U32(optional + kSectionAlignmentField);
  const uint32_t fileAlignment = view.U32(optional + kFileAlignmentField);
  if (!IsPowerOfTwo(sectionAlignment) || !IsPowerOfTwo(fileAlignment) ||
      fileAlignment > sectionAlignment)
    Reject("the section alignment is malformed");

  sectionTable_ = optional + optionalSize;
  sectionCount_ = view.U16(header_ + kSectionCountField);
  view.Need(sectionTable_, sectionCount_ * kSectionHeaderSize, "the section table");
  std::vector<TSection> sections;
  for (unsigned i = 0; i < sectionCount_; ++i) {
    sections.push_back(ReadSection(view, sectionTable_ + i * kSectionHeaderSize));
    const TSection& s = sections.back();
    if (s.rawSize != 0) view.Need(s.rawPosition, s.rawSize, "a section");
    if (uint64_t{s.virtualAddress} + s.Span() > 0xFFFFFFFFu) Reject("a section lies beyond 4 GiB");
  }

  const uint32_t resourceAddress = view.U32(optional + directories_ + kResourceDirectory * 8);
  const auto home = std::find_if(sections.begin(), sections.end(), [&](const TSection& s) {
    return s.virtualAddress == resourceAddress && s.rawSize != 0;
  });
  if (resourceAddress == 0 || home == sections.end())
    Reject("the program has no resource section of its own");
  resourceSection_ = static_cast<unsigned>(home - sections.begin());
  resources_ = ResourceReader(view, sections, *home).Read(directoryStamp_);
}

Bytes SerialiseResources(const ResourceTree& tree, uint32_t sectionAddress, uint32_t stamp) {
  // Layout: the directories level by level, the data entries, the names, then the data.
  size_t directorySize = 16 + tree.size() * 8;
  size_t leafCount = 0;
  for (const auto& [type, names] : tree) {
    directorySize += 16 + names.size() * 8;
    for (const auto& [name, languages] : names) {
      directorySize += 16 + languages.size() * 8;
      leafCount += languages.size();
    }
  }
  const size_t entriesStart = directorySize;
  const size_t namesStart = entriesStart + leafCount * 16;

  Bytes out(namesStart, 0);
  size_t nextDirectory = 0;
  size_t nextEntry = entriesStart;
  std::vector<std::pair<size_t, const TResourceData*>> leaves;  // entry position, data

  auto keyField = [&](const TResourceKey& key) -> uint32_t {
    if (!key.isName) return key.id;
    const size_t at = out.size();
    Append16(out, static_cast<uint16_t>(key.name.size()));
    for (char16_t c : key.name) Append16(out, c);
    return kSubdirectoryBit | static_cast<uint32_t>(at);
  };
  // Reserves one directory with `count` entries; returns its position.
  auto reserve = [&](const auto& map) {
    const size_t at = nextDirectory;
    nextDirectory += 16 + map.size() * 8;
    Put32(out, at + 4, stamp);
    size_t named = 0;
    for (const auto& item : map) named += item.first.isName ? 1 : 0;
    Put16(out, at + 12, static_cast<uint16_t>(named));
    Put16(out, at + 14, static_cast<uint16_t>(map.size() - named));
    return at;
  };

  // Breadth-first: every directory of a level is placed before the next level starts.
  const size_t root = reserve(tree);
  std::vector<std::pair<size_t, const NameMap*>> typeDirectories;
  size_t slot = root + 16;
  for (const auto& [type, names] : tree) {
    const size_t at = reserve(names);
    Put32(out, slot, keyField(type));
    Put32(out, slot + 4, kSubdirectoryBit | static_cast<uint32_t>(at));
    typeDirectories.emplace_back(at, &names);
    slot += 8;
  }
  std::vector<std::pair<size_t, const LanguageMap*>> nameDirectories;
  for (const auto& [typeAt, names] : typeDirectories) {
    slot = typeAt + 16;
    for (const auto& [name, languages] : *names) {
      const size_t at = reserve(languages);
      Put32(out, slot, keyField(name));
      Put32(out, slot + 4, kSubdirectoryBit | static_cast<uint32_t>(at));
      nameDirectories.emplace_back(at, &languages);
      slot += 8;
    }
  }
  for (const auto& [nameAt, languages] : nameDirectories) {
    slot = nameAt + 16;
    for (const auto& [language, data] : *languages) {
      Put32(out, slot, keyField(language));
      Put32(out, slot + 4, static_cast<uint32_t>(nextEntry));
      leaves.emplace_back(nextEntry, &data);
      nextEntry += 16;
      slot += 8;
    }
  }
  for (const auto& [entryAt, data] : leaves) {
    PadTo(out, 8);
    Put32(out, entryAt, sectionAddress + static_cast<uint32_t>(out.size()));
    Put32(out, entryAt + 4, static_cast<uint32_t>(data->bytes.size()));
    Put32(out, entryAt + 8, data->codePage);
    out.insert(out.end(), data->bytes.begin(), data->bytes.end());
  }
  PadTo(out, 8);
  return out;
}

uint32_t ImageChecksum(const uint8_t* head, size_t headSize, const uint8_t* tail,
                       size_t tailSize, size_t checksumPosition) {
  uint64_t sum = 0;
  const size_t total = headSize + tailSize;
  // The checksum field itself counts as zero.
  auto byteAt = [&](size_t at) -> uint32_t {
    if (at >= checksumPosition && at - checksumPosition < 4) return 0;
    return at < headSize ? head[at] : tail[at - headSize];
  };
  for (size_t at = 0; at < total; at += 2) {
    uint32_t word = byteAt(at);
    if (at + 1 < total) word |= byteAt(at + 1) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + total);
}

uint32_t ImageChecksum(const Bytes& image, size_t checksumPosition) {
  return ImageChecksum(image.data(), image.size(), nullptr, 0, checksumPosition);
}

size_t ChecksumPosition(const Bytes& image) {
  const View view(image);
  if (view.Size() < 64 || image[0] != 'M' || image[1] != 'Z') Reject("not a Windows program");
  const size_t header = view.U32(0x3C);
  view.Need(header, kOptionalHeader + kChecksumField + 4, "the PE header");
  if (view.U32(header) != 0x00004550) Reject("not a Windows program");
  DirectoriesOf(view.U16(header + kOptionalHeader));
  return header + kOptionalHeader + kChecksumField;
}

namespace {

// Debugging data are found through file positions and addresses in the debug directory's
// entries; those that lie behind the resources moved with them.
void MoveDebugData(const View& view, size_t directoryTable, unsigned directoryCount,
                   const std::vector<TSection>& sections, unsigned resourceSection, Bytes& out,
                   int64_t rawDelta, int64_t addressDelta) {
  if (directoryCount <= kDebugDirectory || (rawDelta == 0 && addressDelta == 0)) return;
  const TSection& home = sections[resourceSection];
  const uint64_t homeEnd = uint64_t{home.rawPosition} + home.rawSize;
  const uint32_t homeAddressEnd = home.virtualAddress + home.Span();
  const size_t entry = directoryTable + kDebugDirectory * 8;
  const uint32_t address = view.U32(entry);
  const uint32_t size = view.U32(entry + 4);
  if (address == 0 || size == 0) return;
  // Only a directory in a section before the resources is still where it was.
  const auto holder = std::find_if(sections.begin(), sections.begin() + resourceSection,
                                   [&](const TSection& s) {
    return address >= s.virtualAddress && uint64_t{address} - s.virtualAddress + size <= s.rawSize;
  });
  if (holder == sections.begin() + resourceSection)
    Reject("the debug directory lies where it cannot be followed");
  const size_t start = holder->rawPosition + (address - holder->virtualAddress);
  for (size_t at = start; at + kDebugEntrySize <= start + size; at += kDebugEntrySize) {
    const uint32_t dataAddress = view.U32(at + 20);
    const uint32_t dataPosition = view.U32(at + 24);
    if (dataAddress != 0 && dataAddress >= homeAddressEnd)
      Put32(out, at + 20, static_cast<uint32_t>(dataAddress + addressDelta));
    if (dataPosition != 0 && dataPosition >= homeEnd)
      Put32(out, at + 24, static_cast<uint32_t>(dataPosition + rawDelta));
  }
}

}  // namespace

Bytes PeImage::Build() const {
  const View view(image_);
  const size_t optional = header_ + kOptionalHeader;
  const uint32_t sectionAlignment = view.U32(optional + kSectionAlignmentField);
  const uint32_t fileAlignment = view.U32(optional + kFileAlignmentField);
  std::vector<TSection> sections;
  for (unsigned i = 0; i < sectionCount_; ++i)
    sections.push_back(ReadSection(view, sectionTable_ + i * kSectionHeaderSize));
  const TSection home = sections[resourceSection_];
  const Bytes resources = SerialiseResources(resources_, home.virtualAddress, directoryStamp_);

  const size_t directoryTable = optional + directories_;
  auto directory = [&](unsigned index) { return view.U32(directoryTable + index * 8); };
  if (directory(kSecurityDirectory) != 0)
    Reject("the program is signed; sign the installer after packing instead");

  // The sections behind the resources move with them. That is safe only for sections that
  // nothing addresses directly: discardable ones (relocations, debugging data) that no data
  // directory but the relocations' points into.
  const uint64_t homeEnd = uint64_t{home.rawPosition} + home.rawSize;
  bool movable = true;
  const bool followed = resourceSection_ + 1 < sections.size();
  const uint32_t nextAddress = followed ? sections[resourceSection_ + 1].virtualAddress : 0;
  for (unsigned i = resourceSection_ + 1; i < sections.size(); ++i) {
    const TSection& s = sections[i];
    if (s.virtualAddress < home.virtualAddress + home.Span() ||
        (s.rawSize != 0 && s.rawPosition < homeEnd) || s.virtualAddress % sectionAlignment != 0)
      Reject("the sections behind the resources are out of order");
    if ((s.characteristics & kDiscardable) == 0) movable = false;
    for (unsigned d = 0; d < directoryCount_; ++d)
      if (d != kRelocationDirectory && s.HoldsAddress(directory(d))) movable = false;
  }
  for (unsigned i = 0; i < resourceSection_; ++i)
    if (sections[i].rawSize != 0 && uint64_t{sections[i].rawPosition} + sections[i].rawSize >
                                        home.rawPosition)
      Reject("the sections before the resources are out of order");
  if (home.rawSize % fileAlignment != 0) Reject("the resource section is not aligned");

  const uint64_t newRawSize = AlignUp(resources.size(), fileAlignment);
  int64_t rawDelta = static_cast<int64_t>(newRawSize) - home.rawSize;
  int64_t addressDelta = 0;
  if (followed) {
    addressDelta = static_cast<int64_t>(AlignUp(uint64_t{home.virtualAddress} + resources.size(),
                                                sectionAlignment)) - nextAddress;
    if (!movable) {
      if (addressDelta > 0 || rawDelta > 0)
        Reject("the new resources do not fit before the sections that follow them");
      addressDelta = 0;
      rawDelta = 0;
    }
  }
  const uint64_t rawSize = uint64_t{home.rawSize} + rawDelta;
  if (image_.size() + rawDelta > 0xFFFFFFFFu) Reject("the program would grow too large");

  Bytes out(image_.begin(), image_.begin() + home.rawPosition);
  out.insert(out.end(), resources.begin(), resources.end());
  out.resize(home.rawPosition + rawSize, 0);
  out.insert(out.end(), image_.begin() + homeEnd, image_.end());

  Put32(out, home.header + kVirtualSizeField, static_cast<uint32_t>(resources.size()));
  Put32(out, home.header + kRawSizeField, static_cast<uint32_t>(rawSize));
  uint64_t imageEnd = 0;
  for (unsigned i = 0; i < sections.size(); ++i) {
    TSection s = sections[i];
    if (i > resourceSection_) {
      s.virtualAddress = static_cast<uint32_t>(s.virtualAddress + addressDelta);
      Put32(out, s.header + kVirtualAddressField, s.virtualAddress);
      if (s.rawSize != 0)
        Put32(out, s.header + kRawPositionField, static_cast<uint32_t>(s.rawPosition + rawDelta));
    }
    if (i == resourceSection_) s.virtualSize = static_cast<uint32_t>(resources.size());
    imageEnd = std::max(imageEnd, uint64_t{s.virtualAddress} + s.Span());
  }
  Put32(out, optional + kImageSizeField, static_cast<uint32_t>(AlignUp(imageEnd, sectionAlignment)));
  Put32(out, directoryTable + kResourceDirectory * 8, home.virtualAddress);
  Put32(out, directoryTable + kResourceDirectory * 8 + 4,
        static_cast<uint32_t>(resources.size()));
  const uint32_t relocations = directory(kRelocationDirectory);
  if (relocations >= home.virtualAddress + home.Span())
    Put32(out, directoryTable + kRelocationDirectory * 8,
          static_cast<uint32_t>(relocations + addressDelta));
  if ((home.characteristics & kInitializedData) != 0)
    Put32(out, optional + kInitializedDataField,
          static_cast<uint32_t>(view.U32(optional + kInitializedDataField) + rawDelta));
  const uint32_t symbols = view.U32(header_ + kSymbolTableField);
  if (symbols != 0 && symbols >= homeEnd)
    Put32(out, header_ + kSymbolTableField, static_cast<uint32_t>(symbols + rawDelta));
  MoveDebugData(view, directoryTable, directoryCount_, sections, resourceSection_, out, rawDelta,
                addressDelta);
  if (imageEnd > 0xFFFFFFFFu - sectionAlignment) Reject("the program would grow too large");
  if (view.U32(optional + kChecksumField) != 0)
    Put32(out, optional + kChecksumField, ImageChecksum(out, optional + kChecksumField));
  return out;
}

// ---- Icons ----

namespace {

constexpr size_t kIcoHeader = 6;
constexpr size_t kIcoEntry = 16;
constexpr size_t kGroupEntry = 14;

std::set<uint16_t> GroupMembers(const Bytes& group) {
  std::set<uint16_t> members;
  const View view(group);
  if (!view.Holds(0, kIcoHeader)) return members;
  const size_t count = view.U16(4);
  for (size_t i = 0; i < count && view.Holds(kIcoHeader + i * kGroupEntry, kGroupEntry); ++i)
    members.insert(view.U16(kIcoHeader + i * kGroupEntry + 12));
  return members;
}

struct TIconImage {
  Bytes header;  // width, height, colours, reserved, planes, bit count, size: as in the group
  Bytes image;
};

// Every image of an .ico file, checked before the tree is touched.
std::vector<TIconImage> ReadIconFile(const Bytes& icoFile) {
  const View ico(icoFile);
  if (!ico.Holds(0, kIcoHeader) || ico.U16(0) != 0 || ico.U16(2) != 1)
    Reject("not an icon file");
  const size_t count = ico.U16(4);
  if (count == 0) Reject("the icon file holds no images");
  ico.Need(kIcoHeader, count * kIcoEntry, "the icon directory");
  std::vector<TIconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kIcoHeader + i * kIcoEntry;
    const uint32_t size = ico.U32(entry + 8);
    const uint32_t at = ico.U32(entry + 12);
    if (size == 0 || at < kIcoHeader + count * kIcoEntry) Reject("an icon image is malformed");
    images.push_back(TIconImage{ico.Copy(entry, 12), ico.Copy(at, size)});
  }
  return images;
}

}  // namespace

void SetIconGroup(ResourceTree& tree, const Bytes& icoFile) {
  const std::vector<TIconImage> images = ReadIconFile(icoFile);
  NameMap& groups = tree[TResourceKey::Id(kResourceGroupIcon)];
  NameMap& icons = tree[TResourceKey::Id(kResourceIcon)];
  TResourceKey groupName = TResourceKey::Id(1);
  TResourceKey language = TResourceKey::Id(0);
  std::set<uint16_t> dropped;
  if (!groups.empty()) {
    groupName = groups.begin()->first;
    if (!groups.begin()->second.empty()) language = groups.begin()->second.begin()->first;
    for (const auto& [lang, data] : groups.begin()->second)
      for (uint16_t id : GroupMembers(data.bytes)) dropped.insert(id);
    groups.erase(groups.begin());
  }
  for (const auto& [name, languages] : groups)
    for (const auto& [lang, data] : languages)
      for (uint16_t id : GroupMembers(data.bytes)) dropped.erase(id);
  for (uint16_t id : dropped) icons.erase(TResourceKey::Id(id));
  if (icons.size() + images.size() > 0xFFFF) Reject("no icon numbers left");

  Bytes group;
  Append16(group, 0);
  Append16(group, 1);
  Append16(group, static_cast<uint16_t>(images.size()));
  uint16_t nextId = 1;
  for (const TIconImage& icon : images) {
    while (icons.count(TResourceKey::Id(nextId)) != 0) ++nextId;
    icons[TResourceKey::Id(nextId)][language].bytes = icon.image;
    group.insert(group.end(), icon.header.begin(), icon.header.end());
    Append16(group, nextId);
  }
  groups[groupName][language].bytes = group;
}

// ---- Version resources ----

namespace {

constexpr size_t kFixedInfoSize = 52;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr int kVersionDepth = 6;

struct TVersionNode {
  std::u16string key;
  uint16_t type = 1;  // 1: the value is text, 0: binary
  Bytes value;
  std::vector<TVersionNode> children;
};

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

TVersionNode ParseVersionNode(const View& view, size_t at, size_t end, int depth) {
  if (depth > kVersionDepth) Reject("the version resource is nested too deep");
  const size_t length = view.U16(at);
  if (length < 6 || at + length > end) Reject("the version resource is malformed");
  const size_t nodeEnd = at + length;
  TVersionNode node;
  const uint16_t valueLength = view.U16(at + 2);
  node.type = view.U16(at + 4);
  size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > nodeEnd) Reject("a version resource key is not terminated");
    const uint16_t c = view.U16(p);
    if (c == 0) break;
    node.key.push_back(c);
  }
  p = std::min(Align4(p + 2), nodeEnd);
  const size_t valueSize = std::min<size_t>(node.type == 1 ? valueLength * 2u : valueLength,
                                            nodeEnd - p);
  node.value = view.Copy(p, valueSize);
  for (p = Align4(p + valueSize); p + 6 <= nodeEnd;) {
    node.children.push_back(ParseVersionNode(view, p, nodeEnd, depth + 1));
    p = Align4(p + view.U16(p));
  }
  return node;
}

void AppendVersionNode(Bytes& out, const TVersionNode& node) {
  PadTo(out, 4);
  const size_t start = out.size();
  Append16(out, 0);
  Append16(out, static_cast<uint16_t>(node.type == 1 ? node.value.size() / 2 : node.value.size()));
  Append16(out, node.type);
  for (char16_t c : node.key) Append16(out, c);
  Append16(out, 0);
  PadTo(out, 4);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const TVersionNode& child : node.children) AppendVersionNode(out, child);
  if (out.size() - start > 0xFFFF) Reject("the version resource grows too large");
  Put16(out, start, static_cast<uint16_t>(out.size() - start));
}

Bytes TextValue(const std::u16string& text) {
  Bytes value;
  for (char16_t c : text) Append16(value, c);
  Append16(value, 0);
  return value;
}

std::u16string TextOf(const Bytes& value) {
  std::u16string text;
  for (size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(value[i] | value[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

TVersionNode& ChildNamed(TVersionNode& parent, const std::u16string& key, size_t insertAt) {
  for (TVersionNode& child : parent.children)
    if (child.key == key) return child;
  TVersionNode child;
  child.key = key;
  insertAt = std::min(insertAt, parent.children.size());
  return *parent.children.insert(parent.children.begin() + insertAt, child);
}

TVersionNode NewVersionInfo() {
  TVersionNode root;
  root.key = u"VS_VERSION_INFO";
  root.type = 0;
  root.value.assign(kFixedInfoSize, 0);
  Put32(root.value, 0, kFixedInfoSignature);
  Put32(root.value, 4, 0x00010000);
  Put32(root.value, 24, 0x3F);        // every file flag is meaningful
  Put32(root.value, 32, 0x00040004);  // Windows NT, 32-bit
  Put32(root.value, 36, 1);           // an application
  return root;
}

// "1.2.3.4" (one to four numbers below 65536) as the two 32-bit halves of a fixed version.
bool ParseFixedVersion(const std::string& text, uint32_t& high, uint32_t& low) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t count = 0;
  size_t digits = 0;
  for (char c : text) {
    if (c == '.') {
      if (digits == 0 || ++count == 4) return false;
      digits = 0;
    } else if (c >= '0' && c <= '9' && digits < 5) {
      parts[count] = parts[count] * 10 + static_cast<uint32_t>(c - '0');
      if (parts[count] > 0xFFFF) return false;
      ++digits;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}

void SetFixedVersion(TVersionNode& root, size_t field, const std::string& text) {
  uint32_t high = 0, low = 0;
  if (root.value.size() != kFixedInfoSize || View(root.value).U32(0) != kFixedInfoSignature ||
      !ParseFixedVersion(text, high, low))
    return;
  Put32(root.value, field, high);
  Put32(root.value, field + 4, low);
}

Bytes EditVersionResource(const Bytes* existing,
                          const std::vector<std::pair<std::string, std::string>>& strings) {
  TVersionNode root;
  if (existing != nullptr) {
    const View view(*existing);
    root = ParseVersionNode(view, 0, view.Size(), 0);
  } else {
    root = NewVersionInfo();
  }
  TVersionNode& fileInfo = ChildNamed(root, u"StringFileInfo", 0);
  if (fileInfo.children.empty()) {
    fileInfo.children.emplace_back();
    fileInfo.children.back().key = u"040904B0";
  }
  TVersionNode& table = fileInfo.children.front();
  for (const auto& [key, value] : strings) {
    TVersionNode& item = ChildNamed(table, Utf8ToUtf16(key), table.children.size());
    item.type = 1;
    item.value = TextValue(Utf8ToUtf16(value));
    item.children.clear();
    if (key == "FileVersion") SetFixedVersion(root, 8, value);
    if (key == "ProductVersion") SetFixedVersion(root, 16, value);
  }
  TVersionNode& varInfo = ChildNamed(root, u"VarFileInfo", root.children.size());
  if (varInfo.children.empty()) {
    // The translation that names the string table, so that the shell finds its strings.
    uint32_t code = 0;
    for (char16_t c : table.key.substr(0, 8)) {
      const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      code = code << 4 | static_cast<uint32_t>(digit & 0xF);
    }
    TVersionNode translation;
    translation.key = u"Translation";
    translation.type = 0;
    Append16(translation.value, static_cast<uint16_t>(code >> 16));
    Append16(translation.value, static_cast<uint16_t>(code));
    varInfo.children.push_back(translation);
  }
  Bytes out;
  AppendVersionNode(out, root);
  return out;
}

}  // namespace

void SetVersionStrings(ResourceTree& tree,
                       const std::vector<std::pair<std::string, std::string>>& strings) {
  NameMap& versions = tree[TResourceKey::Id(kResourceVersion)];
  if (versions.empty()) {
    versions[TResourceKey::Id(1)][TResourceKey::Id(0)].bytes = EditVersionResource(nullptr, strings);
    return;
  }
  for (auto& [name, languages] : versions)
    for (auto& [language, data] : languages) data.bytes = EditVersionResource(&data.bytes, strings);
}

std::string VersionString(const Bytes& versionResource, const std::string& key) {
  const View view(versionResource);
  TVersionNode root = ParseVersionNode(view, 0, view.Size(), 0);
  for (const TVersionNode& info : root.children) {
    if (info.key != u"StringFileInfo" || info.children.empty()) continue;
    for (const TVersionNode& item : info.children.front().children)
      if (item.key == Utf8ToUtf16(key)) return Utf16ToUtf8(TextOf(item.value));
  }
  return std::string();
}

// ---- Text ----

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead >> 5 == 6 ? 1 : lead >> 4 == 14 ? 2 : lead >> 3 == 30 ? 3 : -1;
    uint32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool valid = extra >= 0 && i + extra < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      valid = next >> 6 == 2;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    i += 1 + extra;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | code >> 10));
      out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | code >> 18));
      out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}
