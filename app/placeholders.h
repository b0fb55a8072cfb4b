// The directory placeholders of the configured command and of the delete list's path.
#pragma once

#include <string>

// Replaces the first occurrence of "<AD>", "<WD>", "<SD>" and "<TD>", in that order, with the
// program's own folder, the Windows folder, the system folder and `targetDirectory`, the folder
// the run unpacked into (each ending in "\"; empty where the system has no such folder). The match ignores case; the text
// around a placeholder keeps its own. Each later placeholder is looked for in the text produced
// so far, and values are inserted as they are, without quotes.
std::string ExpandPlaceholders(const std::string& text, const std::string& targetDirectory);
