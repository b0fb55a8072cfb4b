#include "tools/sfxpack/pe/pe_image.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "tools/sfxpack/pe/pe_bytes.h"

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

// The data directories follow the optional header's fixed fields, which a 64-bit image (PE32+)
// makes 16 bytes longer (its image base and stack sizes are 8 bytes wide); the fields before
// them, alignments, sizes and checksum, stand at the same places in both kinds. The directory
// count stands just before the directories.
size_t DirectoriesOf(uint16_t magic) {
  if (magic == kPe32Magic) return 96;
  if (magic == kPe32PlusMagic) return 112;
  Reject("not a 32-bit or 64-bit Windows program");
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

using TSection = PeImage::TSection;

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
  ResourceReader(const View& image, const PeImage& owner, const TSection& home)
      : image_(image),
        owner_(owner),
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
    data.bytes = image_.Copy(owner_.FilePosition(address, size), size);
    data.address = address;
    data.codePage = section_.U32(field + 8);
    return data;
  }

  static void AddUnique(LanguageMap& map, const TResourceKey& key, TResourceData data) {
    if (!map.emplace(key, std::move(data)).second) Reject("a resource is listed twice");
  }

  const View& image_;
  const PeImage& owner_;
  Bytes bytes_;
  View section_;
  std::set<uint32_t> visited_;
  uint64_t totalData_ = 0;
};

// "MZ", then "PE\0\0" where e_lfanew points, then the optional header's magic: the file
// position of the signature and the offset of the data directories in the optional header.
std::pair<size_t, size_t> ReadHeaders(const View& view) {
  if (view.Size() < 64 || view.U16(0) != 0x5A4D) Reject("not a Windows program");
  const size_t header = view.U32(0x3C);
  view.Need(header, kOptionalHeader + 2, "the PE header");
  if (view.U32(header) != 0x00004550) Reject("not a Windows program");
  return {header, DirectoriesOf(view.U16(header + kOptionalHeader))};
}

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

bool IsPeImage(const uint8_t* image, size_t size) {
  const View view(image, size);
  return view.Holds(0, 64) && image[0] == 'M' && image[1] == 'Z' &&
         view.Holds(view.U32(0x3C), 4) && view.U32(view.U32(0x3C)) == 0x00004550;
}

PeImage::PeImage(const uint8_t* image, size_t size) : data_(image), size_(size) {
  const View view(image, size);
  std::tie(header_, directories_) = ReadHeaders(view);
  const size_t optional = header_ + kOptionalHeader;
  view.Need(optional, directories_, "the PE header");
  directoryCount_ = view.U32(optional + directories_ - 4);
  const size_t optionalSize = view.U16(header_ + kOptionalSizeField);
  if (directoryCount_ <= kRelocationDirectory || directoryCount_ > 16 ||
      optionalSize < directories_ + directoryCount_ * 8)
    Reject("the optional header is malformed");

  const size_t sectionTable = optional + optionalSize;
  const unsigned sectionCount = view.U16(header_ + kSectionCountField);
  view.Need(sectionTable, sectionCount * kSectionHeaderSize, "the section table");
  for (unsigned i = 0; i < sectionCount; ++i) {
    sections_.push_back(ReadSection(view, sectionTable + i * kSectionHeaderSize));
    const TSection& s = sections_.back();
    if (s.rawSize != 0) view.Need(s.rawPosition, s.rawSize, "a section");
    if (uint64_t{s.virtualAddress} + s.Span() > 0xFFFFFFFFu) Reject("a section lies beyond 4 GiB");
  }

  const uint32_t resourceAddress = view.U32(optional + directories_ + kResourceDirectory * 8);
  const auto home = std::find_if(sections_.begin(), sections_.end(), [&](const TSection& s) {
    return s.virtualAddress == resourceAddress && s.rawSize != 0;
  });
  if (resourceAddress == 0 || home == sections_.end())
    Reject("the program has no resource section of its own");
  resourceSection_ = static_cast<unsigned>(home - sections_.begin());
  resources_ = ResourceReader(view, *this, *home).Read(directoryStamp_);
}

size_t PeImage::FilePosition(uint32_t address, uint32_t size) const {
  for (const TSection& s : sections_) {
    if (address < s.virtualAddress) continue;
    const uint64_t offset = address - s.virtualAddress;
    if (offset + size <= s.rawSize && offset + size <= std::max(s.virtualSize, s.rawSize))
      return s.rawPosition + offset;
  }
  Reject("resource data lie outside the image's sections");
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
  const size_t header = ReadHeaders(view).first;
  view.Need(header, kOptionalHeader + kChecksumField + 4, "the PE header");
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
  const View view(data_, size_);
  const size_t optional = header_ + kOptionalHeader;
  const uint32_t sectionAlignment = view.U32(optional + kSectionAlignmentField);
  const uint32_t fileAlignment = view.U32(optional + kFileAlignmentField);
  if (!IsPowerOfTwo(sectionAlignment) || !IsPowerOfTwo(fileAlignment) ||
      fileAlignment > sectionAlignment)
    Reject("the section alignment is malformed");
  const std::vector<TSection>& sections = sections_;
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
  if (size_ + rawDelta > 0xFFFFFFFFu) Reject("the program would grow too large");

  Bytes out(data_, data_ + home.rawPosition);
  out.insert(out.end(), resources.begin(), resources.end());
  out.resize(home.rawPosition + rawSize, 0);
  out.insert(out.end(), data_ + homeEnd, data_ + size_);

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
