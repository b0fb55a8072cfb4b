#include <gtest/gtest.h>

#include <cstdlib>

#include "host/convert.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "host/files.h"
#include "host/platform.h"
#include "tests/host/host_test_support.h"

namespace {

// Sets TMPDIR for one test and puts the old value back.
class TmpDirScope {
 public:
  explicit TmpDirScope(const char* value) {
    const char* old = std::getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    if (value != nullptr) {
      setenv("TMPDIR", value, 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  ~TmpDirScope() {
    if (hadOld_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST(PosixPlatform, TempDirectoryComesFromTmpDirElseTmp) {
  {
    TmpDirScope unset(nullptr);
    EXPECT_EQ(TempDirectory(), "\\tmp\\");
  }
  {
    TmpDirScope empty("");
    EXPECT_EQ(TempDirectory(), "\\tmp\\");
  }
  {
    TmpDirScope set("/var/scratch");
    EXPECT_EQ(TempDirectory(), "\\var\\scratch\\");
  }
  {
    TmpDirScope slash("/var/scratch/");
    EXPECT_EQ(TempDirectory(), "\\var\\scratch\\");
  }
}

TEST(PosixPlatform, ModuleFileNameIsThisProgramInInternalForm) {
  EXPECT_EQ(FileNameOf(ModuleFileName()), "test_host");
  EXPECT_EQ(ModuleFileName()[0], '\\');
}

TEST(PosixPlatform, ArchiveOffsetTextIsThePlaceholderBeforePatching) {
  EXPECT_EQ(ArchiveOffsetText(), "000047616");
}

TEST(PosixPlatform, InitHostServicesUsesThePeriod) {
  SetDecimalSeparator(',');
  InitHostServices();
  EXPECT_EQ(DecimalSeparator(), '.');
}

// Windows itself refuses a stamp through a read-only handle (Wine does not check).
TEST(PosixPlatform, SetFileStampNeedsWriteAccess) {
  ScratchFolder folder_;
  const std::string path = folder_.File("readonly-handle.txt");
  WriteWholeFile(path, "x");
  const FileHandle reader = OpenExistingFile(path, kModeReadShared);
  ASSERT_NE(reader, kInvalidHandle);
  EXPECT_NE(SetFileStamp(reader, 0x1F5C6000), 0);
  CloseFileHandle(reader);
  EXPECT_NE(LastWriteDosStamp(path), 0x1F5C6000u);
}

TEST(PosixPlatformDeathTest, FatalErrorReportGoesToStandardErrorAndExitsWithOne) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(ReportFatalError(EOverflow(kOverflowMessage)), testing::ExitedWithCode(1),
              "^Exception EOverflow im Modul test_host bei [0-9A-F]{8,}\\.\n"
              "\xC3\x9C" "berlauf bei Gleitkomma-Operation\\.\n$");
}

}  // namespace
