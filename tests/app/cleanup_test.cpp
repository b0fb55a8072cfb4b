#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/run_sequence.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/platform.h"

namespace {

const std::string kPrefix = TempDirectory() + "sfx_cleanup_";

void Write(const std::string& name, const std::string& content) {
  std::ofstream(NativePath(kPrefix + name), std::ios::binary) << content;
}

// The last line has no line break, one line is empty and one names a file that is gone; an
// empty list deletes only itself, a missing one raises "file not found".
TEST(RemoveListedFiles, DeletesEveryListedFileAndTheList) {
  for (const char* name : {"a.txt", "b.txt"}) Write(name, name);
  Write("list.lst", kPrefix + "a.txt\r\n\r\n" + kPrefix + "missing.txt\r\n" + kPrefix + "b.txt");
  RemoveListedFiles(kPrefix + "list.lst");
  for (const char* name : {"a.txt", "b.txt", "list.lst"}) EXPECT_FALSE(FileIsPresent(kPrefix + name)) << name;
  Write("a.txt", "a");
  Write("list.lst", "");
  RemoveListedFiles(kPrefix + "list.lst");
  EXPECT_TRUE(RemoveFile(kPrefix + "a.txt"));
  EXPECT_FALSE(FileIsPresent(kPrefix + "list.lst"));
  EXPECT_THROW(RemoveListedFiles(kPrefix + "list.lst"), EInOutError);
}

}  // namespace
