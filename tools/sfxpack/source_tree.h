// The files `create` packs: each PATH is a file (stored under its own name) or a folder
// (walked recursively, names relative to it). Names use "\" separators; each folder's files
// come in byte order of their stored names, so the same tree always gives the same installer.
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

// Raises EPackError for a PATH that does not exist or a folder that cannot be read. Files
// that are the same as `excluded` (the output itself) are left out.
TSourceScan CollectSourceFiles(const std::vector<std::string>& paths, const std::string& excluded);

// "a/b/c.txt" -> "a\b\c.txt"; refuses (empty result) a component holding "\".
std::string StoredNameOf(const std::string& relativePath);
