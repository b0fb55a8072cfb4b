// The program's icon in a resource tree.
#pragma once

#include "tools/sfxpack/pe/pe_image.h"

// Replaces the program's icon with the icons of an .ico file: the first icon group (or a new
// group 1) gets the file's images, icons no other group uses are dropped. Raises EBadImage
// when the .ico file is malformed.
void SetIconGroup(ResourceTree& tree, const Bytes& icoFile);
