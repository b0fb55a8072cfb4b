#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/run_sequence.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

// Files with names of their own in the temporary folder, in the internal "\" form.
class DeleteListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = TempDirectory() + "sfx_cleanup_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
  }
  void TearDown() override {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "list.lst"}) RemoveFile(prefix_ + name);
  }
  std::string Path(const std::string& name) const { return prefix_ + name; }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(NativePath(Path(name)), std::ios::binary) << content;
  }

  std::string prefix_;
};

TEST_F(DeleteListTest, DeletesEveryListedFileAndTheList) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  Write("c.txt", "c");
  // The last line has no line break, one line is empty and one names a file that is gone.
  Write("list.lst", Path("a.txt") + "\r\n\r\n" + Path("missing.txt") + "\r\n" + Path("b.txt") +
                        "\r\n" + Path("c.txt"));
  RemoveListedFiles(Path("list.lst"));
  for (const char* name : {"a.txt", "b.txt", "c.txt", "list.lst"}) {
    EXPECT_FALSE(FileIsPresent(Path(name))) << name;
  }
}

TEST_F(DeleteListTest, AnEmptyListDeletesOnlyItself) {
  Write("a.txt", "a");
  Write("list.lst", "");
  RemoveListedFiles(Path("list.lst"));
  EXPECT_TRUE(FileIsPresent(Path("a.txt")));
  EXPECT_FALSE(FileIsPresent(Path("list.lst")));
}

TEST_F(DeleteListTest, AMissingListRaisesFileNotFound) {
  try {
    RemoveListedFiles(Path("list.lst"));
    FAIL() << "no failure raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Code(), 2);
  }
}

}  // namespace
