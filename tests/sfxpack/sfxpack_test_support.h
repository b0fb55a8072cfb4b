// Helpers for the sfxpack tests: scratch folders, small files, stubs made on the spot and
// running a subcommand with its output captured.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/sfxpack/commands.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder below the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string Path(const std::string& relative = "") const;

 private:
  std::string root_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);  // creates parent folders
void WriteText(const std::string& path, const std::string& text);
Bytes ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// File names in a folder (not recursive), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// A stand-in for the native stub: some bytes, the marker block with nine digits, some more.
Bytes MakeNativeStub(size_t size = 4000);

// A minimal 32-bit PE image whose resource section holds string table block 1 with
// `digits` as entry 1 (entry 0 empty), the way the Win32 stub carries its offset.
Bytes MakePeStub(const std::string& digits = "000047616");
// Where the digits of MakePeStub's image begin, and where its resource tree does.
constexpr size_t kPeDigitsPosition = 0x200 + 0x58 + 4;
constexpr size_t kPeResourceStart = 0x200;

struct TRunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

TRunResult RunTool(int (*command)(const Arguments&), const Arguments& args);

// Pseudo-random bytes that compress a little (text-like runs and noise).
Bytes SampleData(size_t size, uint32_t seed);
