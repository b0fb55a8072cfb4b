#include "app/program_path.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::string kFolder = "C:\\Users\\Anna Maria\\AppData\\Local\\Temp\\";

FilePresence Files(std::set<std::string> names) {
  return [names](const std::string& path) { return names.count(path) > 0; };
}

TEST(QuoteProgramPath, QuotesTheProgramInAFolderWithBlanks) {
  const auto files = Files({kFolder + "setup.exe", "C:\\Users\\Anna.exe"});
  EXPECT_EQ(QuoteProgramPath(kFolder + "setup.exe", kFolder, files),
            "\"" + kFolder + "setup.exe\"");
}

TEST(QuoteProgramPath, KeepsTheArgumentsOfTheExecutableValueOutsideTheQuotes) {
  const auto files = Files({kFolder + "setup.exe"});
  EXPECT_EQ(QuoteProgramPath(kFolder + "setup.exe /q", kFolder, files),
            "\"" + kFolder + "setup.exe\" /q");
  EXPECT_EQ(QuoteProgramPath(kFolder + "setup.exe /q -x \"a b\"", kFolder, files),
            "\"" + kFolder + "setup.exe\" /q -x \"a b\"");
}

TEST(QuoteProgramPath, FindsAProgramWhoseNameHoldsBlanksAsWindowsWould) {
  const auto files = Files({kFolder + "my setup.exe"});
  EXPECT_EQ(QuoteProgramPath(kFolder + "my setup.exe /q", kFolder, files),
            "\"" + kFolder + "my setup.exe\" /q");
  // Shortest first, as Windows tries them: "my.exe" wins over "my setup.exe".
  const auto both = Files({kFolder + "my setup.exe", kFolder + "my.exe"});
  EXPECT_EQ(QuoteProgramPath(kFolder + "my setup.exe", kFolder, both),
            "\"" + kFolder + "my\" setup.exe");
}

TEST(QuoteProgramPath, AcceptsAProgramNameWithoutItsExeExtension) {
  const auto files = Files({kFolder + "install tool.exe"});
  EXPECT_EQ(QuoteProgramPath(kFolder + "install tool -v", kFolder, files),
            "\"" + kFolder + "install tool\" -v");
}

TEST(QuoteProgramPath, TakesTheFirstWordWhenNoCandidateExists) {
  EXPECT_EQ(QuoteProgramPath(kFolder + "setup.exe /q", kFolder, Files({})),
            "\"" + kFolder + "setup.exe\" /q");
}

TEST(QuoteProgramPath, TakesAQuotedExecutableValueAsItStands) {
  EXPECT_EQ(QuoteProgramPath(kFolder + "\"my setup.exe\" /q", kFolder, Files({})),
            "\"" + kFolder + "my setup.exe\" /q");
}

TEST(QuoteProgramPath, LeavesOtherCommandsAlone) {
  EXPECT_EQ(QuoteProgramPath("D:\\x.exe", kFolder, Files({})), "D:\\x.exe");
  EXPECT_EQ(QuoteProgramPath(kFolder, kFolder, Files({})), kFolder);
  EXPECT_EQ(QuoteProgramPath("x.exe", "", Files({})), "x.exe");
}

}  // namespace
