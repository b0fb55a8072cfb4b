// The files `create` packs: each PATH is a file (stored under its own name) or a folder
// (walked recursively, names relative to it); each path of a --files-from list names its member
// itself, a folder's files beneath it. Names use "\" separators; each folder's files come in
// byte order of their stored names, so the same tree always gives the same installer, however
// the file system lists it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSourceFile {
  std::string path;        // native path to read from
  std::string storedName;  // "\" separators, relative to the PATH given
  std::string archiveName; // storedName as the archive holds it, in the installer's code page
};

struct TSourceScan {
  std::vector<TSourceFile> files;
  std::vector<std::string> warnings;  // what was left out, and why
};

struct TSourceSelection {
  std::vector<std::string> paths;     // the PATH operands
  std::vector<std::string> listed;    // from --files-from
  std::string listName;               // that list, for messages
  std::string baseFolder;             // -C DIR: relative paths are read from there
  std::vector<std::string> excludes;  // --exclude patterns (member_selection.h)
  std::string output;                 // the installer being written, never packed
};

// Raises EPackError for a path that does not exist, a folder that cannot be read or a listed
// path outside the folder the list is read from.
TSourceScan CollectSourceFiles(const TSourceSelection& selection);

// "a/b/c.txt" -> "a\b\c.txt"; refuses (empty result) a component holding "\".
std::string StoredNameOf(const std::string& relativePath);
