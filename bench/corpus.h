// Deterministic sample data of the kinds an installer carries, generated rather than stored:
// English-like text, a Windows-executable-like mix of code and zero runs, long runs of one
// byte, and incompressible random bytes. Shared by the benchmark and the codec's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corpus {

enum class Kind { Text, Executable, Runs, Random };

inline const char* NameOf(Kind kind) {
  switch (kind) {
    case Kind::Text: return "text";
    case Kind::Executable: return "exe";
    case Kind::Runs: return "runs";
    case Kind::Random: return "random";
  }
  return "?";
}

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {  // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

inline std::vector<uint8_t> MakeText(size_t size, uint64_t seed) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with",
      "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but",
      "have", "an", "had", "they", "you", "were", "their", "one", "all", "we", "can", "her",
      "has", "there", "been", "if", "more", "when", "will", "would", "who", "so", "no",
      "install", "program", "directory", "files", "setup", "version", "windows", "system",
      "license", "agreement", "software", "copy", "user", "computer", "information", "data",
      "between", "through", "should", "because", "without", "another", "following", "number",
      "general", "public", "warranty", "distribution", "modification", "conditions"};
  const uint32_t wordCount = sizeof(kWords) / sizeof(kWords[0]);
  Random random(seed);
  std::string text;
  text.reserve(size + 64);
  bool sentenceStart = true;
  while (text.size() < size) {
    // Zipf-like: small indices far more often.
    const uint32_t a = random.Below(wordCount);
    const uint32_t b = random.Below(wordCount);
    std::string word = kWords[a < b ? a : b];
    if (sentenceStart) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    text += word;
    sentenceStart = false;
    const uint32_t p = random.Below(100);
    if (p < 6) {
      text += ".";
      sentenceStart = true;
      text += random.Below(5) == 0 ? "\r\n\r\n" : " ";
    } else if (p < 11) {
      text += ", ";
    } else if (p < 13) {
      text += "\r\n";
    } else {
      text += " ";
    }
  }
  text.resize(size);
  return std::vector<uint8_t>(text.begin(), text.end());
}

inline std::vector<uint8_t> MakeExecutable(size_t size, uint64_t seed) {
  Random random(seed);
  std::vector<uint8_t> out;
  out.reserve(size + 4096);
  // A pool of "functions" that recur with small changes, as compiled code does.
  std::vector<std::vector<uint8_t>> pool;
  for (int f = 0; f < 64; ++f) {
    std::vector<uint8_t> body = {0x55, 0x8B, 0xEC, 0x83, 0xEC, static_cast<uint8_t>(random.Below(64) * 4)};
    const uint32_t n = 20 + random.Below(200);
    static const uint8_t kOps[] = {0x8B, 0x89, 0x8D, 0x50, 0x51, 0x52, 0x53, 0x56, 0x57, 0xE8,
                                   0x85, 0xC0, 0x74, 0x75, 0x33, 0xFF, 0x6A, 0x68, 0x45, 0xFC};
    for (uint32_t i = 0; i < n; ++i) body.push_back(kOps[random.Below(sizeof(kOps))]);
    body.insert(body.end(), {0x8B, 0xE5, 0x5D, 0xC3});
    pool.push_back(body);
  }
  while (out.size() < size) {
    const uint32_t p = random.Below(100);
    if (p < 60) {
      auto body = pool[random.Below(static_cast<uint32_t>(pool.size()))];
      for (int k = 0; k < 3; ++k) body[random.Below(static_cast<uint32_t>(body.size()))] = static_cast<uint8_t>(random.Next());
      out.insert(out.end(), body.begin(), body.end());
    } else if (p < 75) {
      out.insert(out.end(), 16 + random.Below(1500), 0);  // section padding
    } else if (p < 85) {
      static const char* const kNames[] = {"KERNEL32.dll", "CreateFileA", "ReadFile", "WriteFile",
                                           "CloseHandle", "GetModuleFileNameA", "USER32.dll",
                                           "MessageBoxA", "GetTempPathA", "CreateProcessA"};
      const std::string name = kNames[random.Below(10)];
      out.push_back(static_cast<uint8_t>(random.Below(256)));
      out.push_back(0);
      out.insert(out.end(), name.begin(), name.end());
      out.push_back(0);
    } else {
      // Relocation-like tables: little-endian addresses that climb slowly.
      uint32_t address = 0x401000 + random.Below(0x10000);
      for (uint32_t i = 0, n = 8 + random.Below(64); i < n; ++i) {
        address += random.Below(64);
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(address >> (8 * k)));
      }
    }
  }
  out.resize(size);
  return out;
}

inline std::vector<uint8_t> MakeRuns(size_t size, uint64_t seed) {
  Random random(seed);
  std::vector<uint8_t> out;
  out.reserve(size);
  while (out.size() < size) {
    const uint8_t byte = static_cast<uint8_t>(random.Below(4) == 0 ? 0 : random.Below(256));
    out.insert(out.end(), 200 + random.Below(20000), byte);
  }
  out.resize(size);
  return out;
}

inline std::vector<uint8_t> MakeRandom(size_t size, uint64_t seed) {
  Random random(seed);
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = static_cast<uint8_t>(random.Next() >> 24);
  return out;
}

inline std::vector<uint8_t> Make(Kind kind, size_t size, uint64_t seed = 1) {
  switch (kind) {
    case Kind::Text: return MakeText(size, seed);
    case Kind::Executable: return MakeExecutable(size, seed);
    case Kind::Runs: return MakeRuns(size, seed);
    case Kind::Random: return MakeRandom(size, seed);
  }
  return {};
}

inline const Kind kAllKinds[] = {Kind::Text, Kind::Executable, Kind::Runs, Kind::Random};

}  // namespace corpus
