// The names sfxpack is willing to store. The stub refuses a whole installer for one bad name
// (a ".." component, ":", a leading "\\", a control character); the builder refuses the same
// names before writing anything, and also names that Windows cannot create as asked: over
// 255 bytes, characters Windows forbids in file names, components ending in a dot or blank,
// and device names such as NUL or COM1, which would send the member to a device.
#pragma once

#include <string>
#include <vector>

#include "archive/member.h"  // TargetNameOf: where the stub writes a member

// Why the stored name cannot go into an installer; empty when it can.
std::string MemberNameProblem(const std::string& storedName);

struct TNameClash {
  std::string first;
  std::string second;
  std::string reason;
};

// Pairs of members that would land on the same file (names compare without regard to ASCII
// case, as on Windows), a file standing where another member needs a folder, or a member on
// the stub's delete list "$d$e$l$.lst" in the target folder.
std::vector<TNameClash> FindNameClashes(const std::vector<std::string>& storedNames,
                                        bool useDirs);
