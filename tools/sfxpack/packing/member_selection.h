// Choosing the files `create` packs beyond whole folders: patterns that leave files and folders
// out (--exclude, as tar users write them) and a list of paths to pack (--files-from).
#pragma once

#include <string>
#include <vector>

// Shell-style pattern: "*" any run of characters ("/" too), "?" one character, "[a-z]" and
// "[!a-z]" (or "[^a-z]") one character in or not in the set; everything else stands for itself.
bool GlobMatches(const std::string& pattern, const std::string& text);

// Whether a pattern matches the member's whole name ("/" separators) or any one of its
// components, each folder name and the file name: "*.pdb" and ".git" leave out such files
// and folders at any depth, "docs/*.tmp" only those under docs.
bool IsExcludedName(const std::vector<std::string>& patterns, const std::string& name);

// The paths in a list file, one a line ("-": standard input); line ends LF or CR LF, empty
// lines skipped. Raises EPackError when the list cannot be read.
std::vector<std::string> ReadFileList(const std::string& path);
