// Small Windows program images made to measure: a code section, the resource section and a
// section behind it, in PE32 or PE32+ form, with the header fields a loader looks at.
#pragma once

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tools/sfxpack/pe_image.h"

uint32_t Get32(const Bytes& b, size_t at);
void Set32(Bytes& b, size_t at, uint32_t v);

constexpr size_t kPe = 0x40, kOpt = 0x58, kChecksum = kOpt + 64;
constexpr uint32_t kDiscardableData = 0x42000040, kWritableData = 0xC0000040;

struct TImageShape {
  bool wide = false;                         // PE32+
  uint32_t trailerFlags = kDiscardableData;  // 0: no section behind the resources
  bool checksum = true;
  size_t Directory(int index) const { return kOpt + (wide ? 112 : 96) + 8 * index; }
  size_t Section(int index) const { return kOpt + (wide ? 240 : 224) + 40 * index; }
};

// .text at 0x400, .rsrc at 0x600 (address 0x2000), the trailer (relocations) behind it.
Bytes MakeImage(const ResourceTree& tree, const TImageShape& shape = {});
// The stub's resources: the dialog by name, string block 1 holding `digits` as string 1, an
// icon group of two icons.
ResourceTree StubLikeTree(const std::u16string& digits = u"000047616");
// An .ico file with images of the given sizes (bytes), each filled with its index + 0x10.
Bytes MakeIco(const std::vector<uint32_t>& sizes);
std::string VersionOf(const Bytes& image, const std::string& key);  // of its version resource
