// Real files of the kinds an installer carries, read from the machine: Windows DLLs (the ones
// a Wine installation ships) and English text from /usr/share/doc, joined into members of
// about 1 MiB. Where no Windows DLLs are
// installed, the system's own shared libraries stand in for them; `binarySource` says which
// were used. The same machine always gives the same corpus.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace corpus {

struct RealFile {
  std::string name;  // relative, "/"-separated: bin/N-NAME or text/doc-N.txt
  std::vector<uint8_t> data;
};

struct RealCorpus {
  std::vector<RealFile> files;
  std::string binarySource;
  size_t binaryBytes = 0;
  size_t textBytes = 0;
};

namespace detail {

namespace fs = std::filesystem;

struct Candidate {
  fs::path path;
  size_t size;
};

inline bool ReadWhole(const fs::path& path, std::vector<uint8_t>& data) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  uint8_t buffer[1 << 16];
  size_t got;
  data.clear();
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.insert(data.end(), buffer, buffer + got);
  std::fclose(file);
  return !data.empty();
}

// Plain text: no NUL and hardly any control bytes in its first 4 KiB.
inline bool LooksLikeText(const std::vector<uint8_t>& data) {
  size_t odd = 0;
  const size_t n = std::min<size_t>(data.size(), 4096);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = data[i];
    if (c == 0) return false;
    if (c < 32 && c != '\n' && c != '\r' && c != '\t' && c != '\f') ++odd;
  }
  return odd * 100 < n;
}

inline std::vector<Candidate> List(const fs::path& dir, bool recursive, bool (*wanted)(const fs::path&)) {
  std::vector<Candidate> found;
  std::error_code ec;
  auto take = [&](const fs::directory_entry& entry) {
    std::error_code e;
    if (entry.is_regular_file(e) && !entry.is_symlink(e) && wanted(entry.path()))
      found.push_back({entry.path(), static_cast<size_t>(entry.file_size(e))});
  };
  if (recursive) {
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) take(*it);
  } else {
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) take(*it);
  }
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.path < b.path; });
  return found;
}

// Takes files in a fixed scattered order (a stride through the sorted list) until `budget`
// bytes are taken, leaving out a file that would overshoot the budget by much: many files of
// every size and name, and about the budget in all.
inline size_t Pick(const std::vector<Candidate>& candidates, size_t budget, const std::string& prefix, bool textOnly,
                   std::vector<RealFile>& out) {
  const size_t n = candidates.size();
  size_t stride = 7919;  // prime: coprime to n unless n is a multiple of it
  while (n > 0 && n % stride == 0) stride += 2;
  size_t taken = 0;
  for (size_t k = 0; k < n && taken < budget - budget / 50; ++k) {
    const Candidate& c = candidates[(k * stride) % n];
    if (c.size == 0 || taken + c.size > budget + budget / 50) continue;
    RealFile file;
    if (!ReadWhole(c.path, file.data) || (textOnly && !LooksLikeText(file.data))) continue;
    file.name = prefix + std::to_string(out.size()) + "-" + c.path.filename().string();
    taken += file.data.size();
    out.push_back(std::move(file));
  }
  return taken;
}

inline bool IsDll(const fs::path& p) { return p.extension() == ".dll"; }
inline bool IsSharedObject(const fs::path& p) { return p.filename().string().find(".so") != std::string::npos; }
inline bool IsUncompressed(const fs::path& p) {
  const std::string e = p.extension().string();
  return e != ".gz" && e != ".xz" && e != ".bz2" && e != ".zst" && e != ".png" && e != ".jpg" && e != ".gif" &&
         e != ".pdf" && e != ".svg";
}

}  // namespace detail

constexpr size_t kTextMemberSize = 1 << 20;

inline RealCorpus LoadRealCorpus(size_t binaryBudget, size_t textBudget) {
  using namespace detail;
  RealCorpus corpus;
  const char* const dllDirs[] = {"/usr/lib/i386-linux-gnu/wine/i386-windows", "/usr/lib/wine/i386-windows",
                                 "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/wine/x86_64-windows"};
  std::vector<Candidate> binaries;
  for (const char* dir : dllDirs) {
    std::vector<Candidate> found = List(dir, false, IsDll);
    if (found.empty()) continue;
    if (!corpus.binarySource.empty()) corpus.binarySource += " + ";
    corpus.binarySource += std::string(dir) + "/*.dll";
    binaries.insert(binaries.end(), found.begin(), found.end());
  }
  if (binaries.empty()) {
    binaries = List("/usr/lib/x86_64-linux-gnu", false, IsSharedObject);
    corpus.binarySource = "/usr/lib/x86_64-linux-gnu/*.so* (no Windows DLLs installed)";
  }
  corpus.binaryBytes = Pick(binaries, binaryBudget, "bin/", false, corpus.files);
  // The documents are mostly a few KiB each; an installer carries its text in a few larger
  // files, and hundreds of tiny members would measure file creation more than decoding.
  std::vector<RealFile> texts;
  corpus.textBytes = Pick(List("/usr/share/doc", true, IsUncompressed), textBudget, "", true, texts);
  for (RealFile& text : texts) {
    if (corpus.files.empty() || corpus.files.back().name.compare(0, 5, "text/") != 0 ||
        corpus.files.back().data.size() >= kTextMemberSize) {
      corpus.files.push_back({"text/doc-" + std::to_string(corpus.files.size()) + ".txt", {}});
    }
    std::vector<uint8_t>& bundle = corpus.files.back().data;
    bundle.insert(bundle.end(), text.data.begin(), text.data.end());
  }
  return corpus;
}

}  // namespace corpus
