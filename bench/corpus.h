// Deterministic sample data of the kinds an installer carries, generated rather than stored:
// English-like text, a Windows-executable-like mix of code and zero runs, long runs of one
// byte, and incompressible random bytes. Shared by the benchmark and the codec's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// Compiled 32-bit code: functions made of common instruction forms (frame set-up, loads and
// stores relative to the frame, calls to nearby functions and imports, short jumps), padded
// to 16 bytes; between them zero-filled section padding, import names and address tables.
class ExecutableWriter {
 public:
  explicit ExecutableWriter(uint64_t seed) : random_(seed) {}

  std::vector<uint8_t> Make(size_t size) {
    while (out_.size() < size) {
      const uint32_t p = random_.Below(100);
      if (p < 80) {
        Function();
      } else if (p < 88) {
        out_.insert(out_.end(), 16 + random_.Below(1500), 0);
      } else if (p < 94) {
        ImportNames();
      } else {
        AddressTable();
      }
    }
    out_.resize(size);
    return out_;
  }

 private:
  void Bytes(std::initializer_list<uint8_t> bytes) { out_.insert(out_.end(), bytes); }
  void Dword(uint32_t v) {
    for (int k = 0; k < 4; ++k) out_.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  uint8_t FrameOffset() {
    static const uint8_t kOffsets[] = {0x08, 0x0C, 0x10, 0x14, 0x18, 0xFC, 0xF8, 0xF4, 0xF0, 0xEC};
    return kOffsets[random_.Below(sizeof kOffsets)];
  }
  uint8_t Register() { return static_cast<uint8_t>(random_.Below(8)); }

  void Instruction() {
    switch (random_.Below(16)) {
      case 0: case 1: Bytes({0x8B, static_cast<uint8_t>(0x45 + 8 * random_.Below(4)), FrameOffset()}); break;
      case 2: case 3: Bytes({0x89, static_cast<uint8_t>(0x45 + 8 * random_.Below(4)), FrameOffset()}); break;
      case 4: Bytes({0x8B, static_cast<uint8_t>(0xC0 + 8 * Register() + Register())}); break;
      case 5: Bytes({static_cast<uint8_t>(0x50 + Register())}); break;
      case 6: Bytes({0x85, 0xC0, static_cast<uint8_t>(0x74 + random_.Below(2)), static_cast<uint8_t>(random_.Below(64))}); break;
      case 7: Bytes({0x33, 0xC0}); break;
      case 8: case 9:
        out_.push_back(0xE8);  // call a function nearby: small negative or positive offsets
        Dword(static_cast<uint32_t>(static_cast<int32_t>(random_.Below(0x8000)) - 0x4000));
        break;
      case 10: Bytes({0xFF, 0x15}); Dword(0x00405000 + 4 * random_.Below(40)); break;  // call import
      case 11: out_.push_back(0x68); Dword(0x00406000 + 4 * random_.Below(512)); break;
      case 12: Bytes({0x8D, static_cast<uint8_t>(0x45 + 8 * random_.Below(4)), FrameOffset()}); break;
      case 13: Bytes({0x83, 0xF8, static_cast<uint8_t>(random_.Below(16))}); break;
      case 14: out_.push_back(0xA1); Dword(0x00407000 + 4 * random_.Below(256)); break;
      default: Bytes({0x83, 0xC4, static_cast<uint8_t>(4 * random_.Below(8))}); break;
    }
  }

  void Function() {
    Bytes({0x55, 0x8B, 0xEC});
    if (random_.Below(2)) Bytes({0x83, 0xEC, static_cast<uint8_t>(4 * random_.Below(32))});
    for (uint32_t i = 0, n = 8 + random_.Below(60); i < n; ++i) Instruction();
    Bytes({0x8B, 0xE5, 0x5D, 0xC3});
    while (out_.size() % 16 != 0) out_.push_back(0xCC);
  }

  void ImportNames() {
    static const char* const kNames[] = {
        "KERNEL32.dll", "CreateFileA", "ReadFile", "WriteFile", "CloseHandle", "GetModuleFileNameA",
        "USER32.dll", "MessageBoxA", "GetTempPathA", "CreateProcessA", "SetFilePointer",
        "GetFileSize", "LoadStringA", "DialogBoxParamA", "SendMessageA", "GetLastError"};
    for (uint32_t i = 0, n = 4 + random_.Below(12); i < n; ++i) {
      const std::string name = kNames[random_.Below(16)];
      out_.push_back(static_cast<uint8_t>(random_.Below(256)));
      out_.push_back(0);
      out_.insert(out_.end(), name.begin(), name.end());
      out_.push_back(0);
      if (out_.size() % 2) out_.push_back(0);
    }
  }

  void AddressTable() {
    uint32_t address = 0x401000 + random_.Below(0x10000);
    for (uint32_t i = 0, n = 8 + random_.Below(64); i < n; ++i) {
      address += random_.Below(64);
      Dword(address);
    }
  }

  Random random_;
  std::vector<uint8_t> out_;
};

inline std::vector<uint8_t> MakeExecutable(size_t size, uint64_t seed) {
  return ExecutableWriter(seed).Make(size);
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
