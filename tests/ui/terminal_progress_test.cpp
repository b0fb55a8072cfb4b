#include "ui/posix/terminal_progress.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/user_interface.h"

namespace {

// The progress line written into a pipe that stands in for the terminal.
class TerminalProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, pipe(fds_));
    fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    CancelRequested = false;
    FullRepaintPending = true;
  }
  void TearDown() override { close(fds_[0]), close(fds_[1]); }
  std::string Drain() {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fds_[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    return out;
  }
  int fds_[2];
};

TEST_F(TerminalProgressTest, RewritesTheLineOnlyOnChange) {
  TerminalProgress progress(fds_[1], true, 100);
  progress.Open();
  progress.Update("C:\\Temp\\setup.exe", 0, 100);
  const std::string first = Drain();
  EXPECT_EQ(0u, first.find("\rDie Installation wird vorbereitet C:\\Temp\\setup.exe [")) << first;
  EXPECT_NE(std::string::npos, first.find("]   0%\x1b[K"));
  EXPECT_FALSE(FullRepaintPending);

  progress.Update("c:\\temp\\SETUP.EXE", 0, 100);  // letter case alone is no change
  EXPECT_EQ("", Drain());
  progress.Update("C:\\Temp\\setup.exe", 53, 100);
  EXPECT_NE(std::string::npos, Drain().find("[##########----------]  52%"));
  progress.Update("C:\\Temp\\readme.txt", 53, 100);
  EXPECT_NE(std::string::npos, Drain().find("readme.txt"));

  progress.BreakLine();
  EXPECT_EQ("\n", Drain());
  progress.Update("C:\\Temp\\readme.txt", 53, 100);  // drawn again below other output
  EXPECT_NE(std::string::npos, Drain().find("readme.txt"));
  progress.Close();
  EXPECT_EQ("\n", Drain());
}

// Without a terminal nothing is shown, but Ctrl+C still requests the cancel while open.
TEST_F(TerminalProgressTest, CtrlCRequestsCancelWhileOpen) {
  TerminalProgress progress(fds_[1], false, 100);
  progress.Open();
  raise(SIGINT);  // would end the test program if it were not caught
  EXPECT_FALSE(CancelRequested);  // seen only at the next update
  progress.Update("x", 1, 2);
  EXPECT_TRUE(CancelRequested);
  progress.Close();
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  EXPECT_EQ(SIG_DFL, current.sa_handler);
  CancelRequested = false;
  progress.Open();  // a new run starts without the old interrupt
  progress.Update("x", 1, 2);
  EXPECT_FALSE(CancelRequested);
  progress.Close();
  EXPECT_EQ("", Drain());
}

TEST(ProgressLine, FitsThePathIntoTheTerminalWidth) {
  const std::string path = "C:\\Programme\\Beispiel\\Daten\\Unterordner\\setup.tar.gz";
  const std::string narrow = ProgressLine(path, 40, 100);
  EXPECT_LE(narrow.size(), 99u);
  EXPECT_NE(std::string::npos, narrow.find("C:\\...\\")) << narrow;
  EXPECT_NE(std::string::npos, narrow.find("setup.tar.gz [#######-------------]  40%")) << narrow;
  const std::string tight = ProgressLine(path, 40, 70);  // the heading gives way first
  EXPECT_EQ(0u, tight.find("C:\\...\\")) << tight;
  const std::string tiny = ProgressLine(path, 40, 20);  // never wraps, keeps the percentage
  EXPECT_EQ(19u, tiny.size());
  EXPECT_EQ("40%", tiny.substr(16)) << tiny;
}

}  // namespace
