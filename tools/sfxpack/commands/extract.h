// sfxpack extract: the installer's members written below a folder by the stub's rules
// (UseDirs, FileDate and Attributes from the configuration), without running anything. It
// never writes outside the folder: names are checked as the stub checks them, and no path
// is followed through a symbolic link. An existing file is replaced only with --force.
#pragma once

#include <cstddef>
#include <string>

#include "tools/sfxpack/installer/installer.h"

// Why the member cannot be written to `relative` (a "/"-separated path below `folder`);
// empty when it can. Existing folders on the way must be real folders, not links; an
// existing file in its place is a problem unless `force`.
std::string TargetPathProblem(const std::string& folder, const std::string& relative, bool force);

// Raises EPackError; checks every member's target before writing the first one. A damaged
// member raises too, unless `force`: it is then written as it decodes, with a warning, and
// counted in the result.
size_t ExtractInstaller(const TInstaller& installer, const std::string& folder, bool force);
