#include "tools/sfxpack/packing/member_selection.h"

#include <algorithm>
#include <cstdio>

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/tool_platform.h"

namespace {

// Matches the set at pattern[p] ('[' ... ']') against c; `p` moves past the set. A set without
// its closing bracket is taken as a plain '['.
bool SetMatches(const std::string& pattern, size_t& p, char c) {
  size_t i = p + 1;
  const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  bool found = false;
  for (const size_t first = i; i < pattern.size() && (pattern[i] != ']' || i == first); ++i) {
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
      found = found || (pattern[i] <= c && c <= pattern[i + 2]);
      i += 2;
    } else {
      found = found || pattern[i] == c;
    }
  }
  if (i >= pattern.size()) {
    ++p;
    return c == '[';
  }
  p = i + 1;
  return found != negated;
}

// Matches one character of the text against the pattern item at `p` ("?", a set or a plain
// character), moving `p` past the item on a match.
bool ItemMatches(const std::string& pattern, size_t& p, char c) {
  if (p >= pattern.size()) return false;
  size_t next = p + 1;
  if (pattern[p] == '[') {
    next = p;
    if (!SetMatches(pattern, next, c)) return false;
  } else if (pattern[p] != '?' && pattern[p] != c) {
    return false;
  }
  p = next;
  return true;
}

}  // namespace

bool GlobMatches(const std::string& pattern, const std::string& text) {
  size_t p = 0;
  size_t t = 0;
  // Where the last "*" was and how much of the text it has taken: on a mismatch it takes one
  // character more. One star to return to suffices, since a later star can take anything an
  // earlier one could.
  size_t starP = std::string::npos;
  size_t starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
      continue;
    }
    if (ItemMatches(pattern, p, text[t])) {
      ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsExcludedName(const std::vector<std::string>& patterns, const std::string& name) {
  for (const std::string& pattern : patterns) {
    if (GlobMatches(pattern, name)) return true;
    for (size_t start = 0; start <= name.size();) {
      const size_t end = std::min(name.find('/', start), name.size());
      if (GlobMatches(pattern, name.substr(start, end - start))) return true;
      start = end + 1;
    }
  }
  return false;
}

std::vector<std::string> ReadFileList(const std::string& path) {
  const bool fromStdin = path == "-";
  std::FILE* file = fromStdin ? stdin : OpenFileForReading(path);
  const std::string shown = fromStdin ? "stdin" : path;
  if (file == nullptr) FailOnFile(shown, LastSystemErrorText());
  std::vector<std::string> paths;
  std::string line;
  for (int c = std::fgetc(file);; c = std::fgetc(file)) {
    if (c != EOF && c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
    line.clear();
    if (c == EOF) break;
  }
  const bool failed = std::ferror(file) != 0;
  if (!fromStdin) std::fclose(file);
  if (failed) FailOnFile(shown, "read error");
  return paths;
}
