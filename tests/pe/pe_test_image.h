// Small Windows program images made to measure for the tests: a code section, the resource
// section, and a section behind it, with the header fields a loader looks at.
#pragma once

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tools/sfxpack/pe_resources.h"

uint32_t Get32(const Bytes& b, size_t at);
void Set32(Bytes& b, size_t at, uint32_t v);
void Set16(Bytes& b, size_t at, uint16_t v);

// Layout of the images: PE header at 0x40, optional header at 0x58, sections from 0x138:
// .text, .rsrc, then the section given (relocations by default).
constexpr size_t kPe = 0x40, kOpt = 0x58, kSections = 0x138;
constexpr uint32_t kDiscardableData = 0x42000040, kWritableData = 0xC0000040;

struct TImageShape {
  uint32_t trailerFlags = kDiscardableData;  // 0: no section behind the resources
  bool checksum = true;
  Bytes tail;  // bytes behind the last section, reached through the symbol-table pointer
};

size_t SectionHeader(int index);
Bytes MakeImage(const ResourceTree& tree, const TImageShape& shape = {});
Bytes Text16(const std::u16string& s);
// A tree like the stub's: the dialog by name, string block 1 with the offset digits, an icon.
ResourceTree StubLikeTree();
// An .ico file with images of the given sizes (bytes), each filled with its index + 0x10.
Bytes MakeIco(const std::vector<uint32_t>& sizes);

std::string WriteTemporary(const std::string& name, const Bytes& bytes);  // gives the path
// A string of the image's version resource.
std::string VersionOf(const Bytes& image, const std::string& key);
