// The version resource in a resource tree.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/sfxpack/pe/pe_image.h"

// Replaces or adds the given strings in every version resource (a new one when there is
// none). "FileVersion" and "ProductVersion" of the form a.b.c.d also set the numeric versions.
void SetVersionStrings(ResourceTree& tree,
                       const std::vector<std::pair<std::string, std::string>>& strings);

// Reads a string of a version resource's first string table; empty when absent.
std::string VersionString(const Bytes& versionResource, const std::string& key);
