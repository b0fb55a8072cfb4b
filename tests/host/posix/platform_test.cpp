#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/convert.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/offset_digits.h"
#include "host/paths.h"
#include "host/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

TEST(PosixPlatform, TempDirectoryComesFromTmpDirElseTmp) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  const struct { const char* tmpdir; const char* expected; } kRows[] = {
      {nullptr, "\\tmp\\"}, {"", "\\tmp\\"}, {"/var/scratch", "\\var\\scratch\\"},
      {"/var/scratch/", "\\var\\scratch\\"}};
  for (const auto& row : kRows) {
    row.tmpdir ? setenv("TMPDIR", row.tmpdir, 1) : unsetenv("TMPDIR");
    EXPECT_EQ(TempDirectory(), row.expected) << (row.tmpdir ? row.tmpdir : "unset");
  }
  old ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
}

TEST(PosixPlatform, ProgramNameOffsetTextAndSeparator) {
  EXPECT_EQ(FileNameOf(ModuleFileName()), "test_host");
  EXPECT_EQ(ModuleFileName()[0], '\\');
  EXPECT_EQ(ArchiveOffsetText(), SFX_OFFSET_PLACEHOLDER);  // before the build patches it
  SetDecimalSeparator(',');
  InitHostServices();
  EXPECT_EQ(DecimalSeparator(), '.');
}

// Windows itself refuses a stamp through a read-only handle (Wine does not check).
TEST(PosixPlatform, SetFileStampNeedsWriteAccess) {
  ScratchFolder folder;
  const std::string path = folder.Internal("readonly-handle.txt");
  WriteText(folder.Path("readonly-handle.txt"), "x");
  const auto before = std::filesystem::last_write_time(folder.Path("readonly-handle.txt"));
  const FileHandle reader = OpenExistingFile(path, kModeReadShared);
  ASSERT_NE(reader, kInvalidHandle);
  EXPECT_NE(SetFileStamp(reader, 0x1F5C6000), 0);
  CloseFileHandle(reader);
  EXPECT_EQ(std::filesystem::last_write_time(folder.Path("readonly-handle.txt")), before);
}

TEST(PosixPlatformDeathTest, FatalErrorReportGoesToStandardErrorAndExitsWithOne) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(ReportFatalError(EInOutError(101)), testing::ExitedWithCode(1),
              "^Exception EInOutError im Modul test_host bei [0-9A-F]{8,}\\.\n"
              "Kapazit\xC3\xA4t der Diskette/Festplatte ersch\xC3\xB6pft\\.\n$");
}

}  // namespace
