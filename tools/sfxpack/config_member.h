// The configuration member: an INI text with the section "KVTR Configuration", written last
// into every installer. The stub reads it through the platform's profile functions, which
// trim blanks around values, drop one pair of enclosing quotes and see at most 259
// characters; the writer keeps values intact under those rules.
#pragma once

#include <string>

#include "tools/sfxpack/code_page.h"

struct TConfiguration {
  std::string executable;  // relative to the target directory; empty: start nothing
  std::string parameters;  // appended after a blank when both are present
  bool useDirs = true;
  bool overwrite = true;
  bool attributes = true;
  bool fileDate = true;
  // The code page of names and values (CodePage=N, which the stub does not read); an archive
  // without the key is 1252, one whose value is no number reads as 0.
  int codePage = kDefaultCodePage;
  bool sectionFound = false;  // set by ParseConfigurationText
};

// The longest value the stub sees whole (its read buffer holds 260 characters).
constexpr size_t kMaxConfigValueLength = 259;

// Why a value cannot be stored so that the stub reads it back unchanged; empty if it can.
std::string ConfigValueProblem(const std::string& value);

// The member's text: the section line, the four flags and the code page, then `Executable` and
// `Parameters` when not empty; CR LF after every line.
std::string ConfigurationText(const TConfiguration& config);

// Reads a configuration text the way the stub's profile lookup does: section and key names
// without regard to case, values trimmed and unquoted, a flag off only when exactly "0",
// missing keys giving empty values.
TConfiguration ParseConfigurationText(const std::string& text);
