// Arbitrary bytes where `create --icon --version-info` reads structure: as a stub whose
// resources are edited, as the .ico file, and, when they are no image, as a version resource.
// Each parser refuses with EBadImage before it reads past the bytes.
#include <cstdlib>

#include "tools/sfxpack/pe/pe_icons.h"
#include "tools/sfxpack/pe/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bytes bytes(data, data + size);
  ResourceTree tree;
  try {
    tree = PeImage(data, size).Resources();
  } catch (const EBadImage&) {
    tree[TResourceKey::Id(kResourceVersion)][TResourceKey::Id(1)][TResourceKey::Id(0)].bytes = bytes;
  }
  try {
    SetIconGroup(tree, bytes);
  } catch (const EBadImage&) {
  }
  // A version resource that could be edited reads back with the string set.
  bool edited = true;
  try {
    SetVersionStrings(tree, {{"FileVersion", "1.2.3.4"}});
  } catch (const EBadImage&) {
    edited = false;
  }
  for (const auto& [name, languages] : tree[TResourceKey::Id(kResourceVersion)])
    for (const auto& [language, resource] : languages)
      if (edited && VersionString(resource.bytes, "FileVersion") != "1.2.3.4") std::abort();
  SerialiseResources(tree, 0x1000);
  return 0;
}
