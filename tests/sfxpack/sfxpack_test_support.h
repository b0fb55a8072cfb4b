// Helpers for the sfxpack tests: scratch folders, small files, stubs made on the spot, and
// running a subcommand with its output captured.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/corpus.h"
#include "host/offset_digits.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"
#include "tools/sfxpack/cli/commands.h"

std::vector<std::string> FolderEntries(const std::string& folder);  // sorted, not recursive

// A stand-in for the native stub: some bytes, the marker block with nine digits, some more.
ArchiveBytes MakeNativeStub(size_t size = 4000);

struct TRunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
TRunResult RunTool(int (*command)(const Arguments&), const Arguments& args);

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
    WriteBytes(scratch_.Path("tree/data.bin"), corpus::MakeText(6000, 7));
    WriteText(scratch_.Path("tree/sub/readme.txt"), "read me\r\n");
    if (!Exists(scratch_.Path("tree/ro.txt"))) WriteText(scratch_.Path("tree/ro.txt"), "read only");
    chmod(scratch_.Path("tree/ro.txt").c_str(), 0444);
    Arguments args = {"-o", scratch_.Path("inst"), scratch_.Path("tree")};
    args.insert(args.end(), options.begin(), options.end());
    const TRunResult run = Create(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return scratch_.Path("inst");
  }
  // An installer written past the builder's checks (names it refuses, wrong sizes), behind a
  // stub of kTestStubSize bytes without digits: the commands take "--offset 100".
  std::string HandMade(const std::vector<TestMember>& members) {
    WriteBytes(scratch_.Path("handmade"), ::MakeInstaller(members));
    return scratch_.Path("handmade");
  }

  ScratchFolder scratch_;
  std::string stub_ = scratch_.Path("stub.bin");
};
