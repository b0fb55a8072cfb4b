#include "tests/pe/pe_test_image.h"

#include <cstring>

#include "tools/sfxpack/pe_version.h"

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes MakeImage(const ResourceTree& tree, const TImageShape& shape) {
  const Bytes rsrc = SerialiseResources(tree, 0x2000);
  const uint32_t rsrcRaw = static_cast<uint32_t>((rsrc.size() + 0x1FF) & ~0x1FFu);
  const uint32_t trailerVa = 0x2000 + ((static_cast<uint32_t>(rsrc.size()) + 0xFFF) & ~0xFFFu);
  Bytes image(0x400, 0);
  const std::pair<size_t, uint32_t> fields[] = {
      {0, 0x5A4D}, {0x3C, kPe}, {kPe, 0x4550}, {kPe + 4, shape.wide ? 0x8664 : 0x14C},
      {kPe + 6, shape.trailerFlags != 0 ? 3 : 2}, {kPe + 20, shape.wide ? 240 : 224},
      {kOpt, shape.wide ? 0x20B : 0x10B}, {kOpt + 32, 0x1000}, {kOpt + 36, 0x200},
      {kOpt + 56, trailerVa + (shape.trailerFlags != 0 ? 0x1000 : 0)}, {kOpt + 60, 0x400},
      {shape.Directory(0) - 4, 16}, {shape.Directory(2), 0x2000},
      {shape.Directory(2) + 4, static_cast<uint32_t>(rsrc.size())}};
  for (const auto& [at, value] : fields) Set32(image, at, value);
  auto section = [&](int i, const char* name, uint32_t va, uint32_t vsize, uint32_t rawSize,
                     uint32_t flags) {
    const size_t at = shape.Section(i);
    std::memcpy(&image[at], name, std::strlen(name));
    const uint32_t values[] = {vsize, va, rawSize, static_cast<uint32_t>(image.size())};
    for (int k = 0; k < 4; ++k) Set32(image, at + 8 + 4 * k, values[k]);
    Set32(image, at + 36, flags);
  };
  section(0, ".text", 0x1000, 0x10, 0x200, 0x60000020);
  image.resize(0x600, 0xC3);  // recognisable filler
  section(1, ".rsrc", 0x2000, static_cast<uint32_t>(rsrc.size()), rsrcRaw, 0x40000040);
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  image.resize(0x600 + rsrcRaw, 0);
  if (shape.trailerFlags != 0) {
    section(2, ".reloc", trailerVa, 0x0C, 0x200, shape.trailerFlags);
    Set32(image, shape.Directory(5), trailerVa);
    Set32(image, shape.Directory(5) + 4, 0x0C);
    const uint8_t block[12] = {0x00, 0x10, 0, 0, 0x0C, 0, 0, 0, 0x01, 0x30, 0x05, 0x30};
    image.insert(image.end(), block, block + 12);
    image.resize(image.size() + 0x200 - 12, 0);
  }
  if (shape.checksum) Set32(image, kChecksum, ImageChecksum(image, kChecksum));
  return image;
}

ResourceTree StubLikeTree(const std::u16string& digits) {
  ResourceTree tree;
  const TResourceKey neutral = TResourceKey::Id(0);
  tree[TResourceKey::Id(kResourceDialog)][TResourceKey::Named(u"QZPROGRESSCLASS")][neutral]
      .bytes = Bytes(180, 0x5A);
  Bytes strings = {0, 0, static_cast<uint8_t>(digits.size()), 0};
  for (char16_t c : digits) strings.insert(strings.end(), {static_cast<uint8_t>(c), 0});
  strings.resize(strings.size() + 14 * 2, 0);  // strings 2 to 15, empty
  tree[TResourceKey::Id(kResourceString)][TResourceKey::Id(1)][neutral].bytes = strings;
  Bytes group = {0, 0, 1, 0, 2, 0};
  for (uint8_t id : {1, 2}) {
    tree[TResourceKey::Id(kResourceIcon)][TResourceKey::Id(id)][neutral].bytes = Bytes(40, id);
    Bytes entry(14, 0);
    entry[0] = entry[1] = static_cast<uint8_t>(16 * id);
    entry[12] = id;
    group.insert(group.end(), entry.begin(), entry.end());
  }
  tree[TResourceKey::Id(kResourceGroupIcon)][TResourceKey::Named(u"MAINICON")][neutral].bytes = group;
  return tree;
}

Bytes MakeIco(const std::vector<uint32_t>& sizes) {
  Bytes ico = {0, 0, 1, 0, static_cast<uint8_t>(sizes.size()), 0};
  uint32_t at = static_cast<uint32_t>(6 + 16 * sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    Bytes entry(16, 0);
    entry[0] = entry[1] = static_cast<uint8_t>(16 << i);
    entry[4] = 1;
    entry[6] = 32;
    Set32(entry, 8, sizes[i]);
    Set32(entry, 12, at);
    ico.insert(ico.end(), entry.begin(), entry.end());
    at += sizes[i];
  }
  for (size_t i = 0; i < sizes.size(); ++i) ico.insert(ico.end(), sizes[i], uint8_t(0x10 + i));
  return ico;
}

std::string VersionOf(const Bytes& image, const std::string& key) {
  const PeImage parsed(image);
  const auto& versions = parsed.Resources().at(TResourceKey::Id(kResourceVersion));
  return VersionString(versions.begin()->second.begin()->second.bytes, key);
}
