#include "tests/pe/pe_test_image.h"

#include <gtest/gtest.h>

#include <cstring>

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void Set32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Set16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

size_t SectionHeader(int index) { return kSections + index * 40; }

Bytes MakeImage(const ResourceTree& tree, const TImageShape& shape) {
  const Bytes rsrc = SerialiseResources(tree, 0x2000);
  const uint32_t rsrcRaw = static_cast<uint32_t>((rsrc.size() + 0x1FF) & ~0x1FFu);
  const int sections = shape.trailerFlags != 0 ? 3 : 2;
  Bytes image(0x400, 0);
  image[0] = 'M';
  image[1] = 'Z';
  Set32(image, 0x3C, kPe);
  Set32(image, kPe, 0x4550);
  const std::pair<size_t, uint32_t> halves[] = {
      {kPe + 4, 0x14C}, {kPe + 6, static_cast<uint32_t>(sections)}, {kPe + 20, 224}, {kOpt, 0x10B}};
  for (const auto& field : halves) Set16(image, field.first, static_cast<uint16_t>(field.second));
  const std::pair<size_t, uint32_t> words[] = {{kOpt + 32, 0x1000}, {kOpt + 36, 0x200}, {kOpt + 60, 0x400}, {kOpt + 92, 16}};
  for (const auto& field : words) Set32(image, field.first, field.second);
  auto section = [&](int i, const char* name, uint32_t va, uint32_t vsize, uint32_t raw,
                     uint32_t rawSize, uint32_t flags) {
    std::memcpy(&image[SectionHeader(i)], name, std::strlen(name));
    Set32(image, SectionHeader(i) + 8, vsize);
    Set32(image, SectionHeader(i) + 12, va);
    Set32(image, SectionHeader(i) + 16, rawSize);
    Set32(image, SectionHeader(i) + 20, raw);
    Set32(image, SectionHeader(i) + 36, flags);
  };
  section(0, ".text", 0x1000, 0x10, 0x400, 0x200, 0x60000020);
  section(1, ".rsrc", 0x2000, static_cast<uint32_t>(rsrc.size()), 0x600, rsrcRaw, 0x40000040);
  image.resize(0x600, 0xC3);  // the code section: recognisable filler
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  image.resize(0x600 + rsrcRaw, 0);
  const uint32_t trailerVa = 0x2000 + ((static_cast<uint32_t>(rsrc.size()) + 0xFFF) & ~0xFFFu);
  uint32_t end = trailerVa;
  if (shape.trailerFlags != 0) {
    section(2, ".reloc", trailerVa, 0x0C, static_cast<uint32_t>(image.size()), 0x200,
            shape.trailerFlags);
    Set32(image, kOpt + 96 + 5 * 8, trailerVa);
    Set32(image, kOpt + 96 + 5 * 8 + 4, 0x0C);
    const uint8_t block[12] = {0x00, 0x10, 0, 0, 0x0C, 0, 0, 0, 0x01, 0x30, 0x05, 0x30};
    image.insert(image.end(), block, block + 12);
    image.resize(image.size() + 0x200 - 12, 0);
    end += 0x1000;
  }
  Set32(image, kOpt + 56, end);
  Set32(image, kOpt + 96 + 2 * 8, 0x2000);
  Set32(image, kOpt + 96 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
  if (!shape.tail.empty()) {
    Set32(image, kPe + 12, static_cast<uint32_t>(image.size()));
    image.insert(image.end(), shape.tail.begin(), shape.tail.end());
  }
  if (shape.checksum) Set32(image, kOpt + 64, ImageChecksum(image, kOpt + 64));
  return image;
}

Bytes Text16(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  return b;
}

ResourceTree StubLikeTree() {
  ResourceTree tree;
  const TResourceKey neutral = TResourceKey::Id(0);
  tree[TResourceKey::Id(kResourceDialog)][TResourceKey::Named(u"QZPROGRESSCLASS")][neutral]
      .bytes = Bytes(180, 0x5A);
  Bytes strings = {0, 0, 9, 0};
  const Bytes digits = Text16(u"000047616");
  strings.insert(strings.end(), digits.begin(), digits.end());
  strings.resize(strings.size() + 14 * 2, 0);
  tree[TResourceKey::Id(kResourceString)][TResourceKey::Id(1)][neutral].bytes = strings;
  tree[TResourceKey::Id(kResourceIcon)][TResourceKey::Id(1)][neutral].bytes = Bytes(40, 1);
  tree[TResourceKey::Id(kResourceIcon)][TResourceKey::Id(2)][neutral].bytes = Bytes(40, 2);
  Bytes group = {0, 0, 1, 0, 2, 0};
  for (uint16_t id : {1, 2}) {
    Bytes entry(12, 0);
    entry[0] = entry[1] = static_cast<uint8_t>(16 * id);
    entry.push_back(static_cast<uint8_t>(id));
    entry.push_back(0);
    group.insert(group.end(), entry.begin(), entry.end());
  }
  tree[TResourceKey::Id(kResourceGroupIcon)][TResourceKey::Named(u"MAINICON")][neutral].bytes =
      group;
  return tree;
}

Bytes MakeIco(const std::vector<uint32_t>& sizes) {
  Bytes ico = {0, 0, 1, 0, static_cast<uint8_t>(sizes.size()), 0};
  uint32_t at = static_cast<uint32_t>(6 + 16 * sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    Bytes entry(16, 0);
    entry[0] = entry[1] = static_cast<uint8_t>(16 << i);
    Set16(entry, 4, 1);
    Set16(entry, 6, 32);
    Set32(entry, 8, sizes[i]);
    Set32(entry, 12, at);
    ico.insert(ico.end(), entry.begin(), entry.end());
    at += sizes[i];
  }
  for (size_t i = 0; i < sizes.size(); ++i) ico.insert(ico.end(), sizes[i], uint8_t(0x10 + i));
  return ico;
}

std::string WriteTemporary(const std::string& name, const Bytes& bytes) {
  const std::string path = testing::TempDir() + name;
  WriteBytes(path, bytes);
  return path;
}

std::string VersionOf(const Bytes& image, const std::string& key) {
  const PeImage parsed(image);
  const auto& versions = parsed.Resources().at(TResourceKey::Id(kResourceVersion));
  return VersionString(versions.begin()->second.begin()->second.bytes, key);
}
