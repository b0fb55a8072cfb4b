#include "tools/sfxpack/pe/pe_icons.h"

#include <set>

#include "tools/sfxpack/pe/pe_bytes.h"

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
