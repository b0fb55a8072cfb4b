// Helpers for the sfxpack tests: scratch folders, small files, stubs and installers made on
// the spot, and running a subcommand with its output captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/offset_digits.h"
#include "bench/corpus.h"
#include "tests/support/scratch_folder.h"
#include "tools/sfxpack/commands.h"

using Bytes = std::vector<uint8_t>;

std::vector<std::string> FolderEntries(const std::string& folder);  // sorted, not recursive
void PutLE(Bytes& b, size_t at, uint32_t value, int width = 4);

// A stand-in for the native stub: some bytes, the marker block with nine digits, some more.
Bytes MakeNativeStub(size_t size = 4000);

// A minimal 32-bit PE image whose resource section holds string table block 1 with
// `digits` as entry 1 (entry 0 empty), the way the Win32 stub carries its offset.
Bytes MakePeStub(const std::string& digits = SFX_OFFSET_PLACEHOLDER);
constexpr size_t kPeResourceStart = 0x200;
constexpr size_t kPeDigitsPosition = kPeResourceStart + 0x58 + 4;

// An installer written with the directory writer directly, past the builder's checks: each
// member holds `text`, recorded as `recorded` bytes unpacked (-1: its true length).
struct THandMember {
  std::string name;
  std::string text = "evil";
  int32_t recorded = -1;
};
Bytes HandMadeInstaller(const std::vector<THandMember>& members);

struct TRunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
TRunResult RunTool(int (*command)(const Arguments&), const Arguments& args);

inline Bytes SampleData(size_t size, uint32_t seed) { return corpus::MakeText(size, seed); }

// A scratch folder holding the native stand-in stub, which Create hands to `create`.
class PackTest : public testing::Test {
 protected:
  PackTest() { WriteBytes(stub_, MakeNativeStub()); }
  TRunResult Create(const Arguments& args) {
    Arguments full = {"--stub", stub_};
    full.insert(full.end(), args.begin(), args.end());
    return RunTool(RunCreateCommand, full);
  }
  // The tree data.bin, ro.txt (read-only), sub/readme.txt packed into "inst" with `options`.
  std::string MakeInstaller(const Arguments& options = {}) {
    WriteBytes(scratch_.Path("tree/data.bin"), SampleData(6000, 7));
    WriteText(scratch_.Path("tree/sub/readme.txt"), "read me\r\n");
    if (!Exists(scratch_.Path("tree/ro.txt"))) WriteText(scratch_.Path("tree/ro.txt"), "read only");
    chmod(scratch_.Path("tree/ro.txt").c_str(), 0444);
    Arguments args = {"-o", scratch_.Path("inst"), scratch_.Path("tree")};
    args.insert(args.end(), options.begin(), options.end());
    const TRunResult run = Create(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return scratch_.Path("inst");
  }

  ScratchFolder scratch_;
  std::string stub_ = scratch_.Path("stub.bin");
};

