// Texts shared by the reports of list, test and extract.
#pragma once

#include <cstdint>
#include <string>

// "RHSDA"-style letters for the Win32 attribute bits (read-only, hidden, system, directory,
// archive), "." for each bit not set; the number itself when other bits are set.
std::string AttributeText(int32_t attributes);
