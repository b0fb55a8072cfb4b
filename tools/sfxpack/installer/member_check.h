// Decoding members in memory and judging the result, for test and extract.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/sfxpack/installer/installer.h"

struct TMemberCheck {
  bool intact = false;
  std::string problem;        // why not, when not intact
  std::vector<uint8_t> data;  // the decoded bytes
};

// Decodes the member's stored bytes and judges the decoded length against the recorded
// unpacked size as the stub does (DecodedSizeFits), keeping the recorded bytes only, and, when
// the installer carries checksums, compares those with the member's CRC-32. Without checksums
// the length is as far as a check can go.
TMemberCheck DecodeMember(const TInstaller& installer, const TMember& member);
