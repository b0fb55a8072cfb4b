#include "ui/posix/terminal_progress.h"

#include <signal.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "ui/progress_logic.h"
#include "ui/user_interface.h"

volatile int InterruptSeen = 0;

namespace {

const std::string kHeading = "Die Installation wird vorbereitet";
constexpr int32_t kBarCells = 20;
constexpr int32_t kFallbackColumns = 80;
constexpr int32_t kMinPathRoom = 24;

struct sigaction previousInterrupt;
bool interruptInstalled = false;

void OnInterrupt(int) { InterruptSeen = 1; }

std::string Bar(int32_t percent) {
  const int32_t filled = BarFillWidth(kBarCells, percent);
  std::string percentText = std::to_string(percent) + "%";
  percentText.insert(0, 4 - std::min<size_t>(4, percentText.size()), ' ');
  return "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "] " + percentText;
}

}  // namespace

std::string ProgressLine(const std::string& path, int32_t percent, int32_t columns) {
  const std::string bar = Bar(percent);
  const int32_t width = columns - 1;
  std::string heading = kHeading + " ";
  int32_t room = width - static_cast<int32_t>(heading.size() + 1 + bar.size());
  // On a narrow terminal the path matters more than the heading.
  if (room < kMinPathRoom) {
    heading.clear();
    room = width - static_cast<int32_t>(1 + bar.size());
  }
  const auto characters = [](const std::string& text) { return static_cast<int32_t>(text.size()); };
  std::string line = heading + FitPathToLabel(path, characters, room) + " " + bar;
  // Still too wide: keep the end, where bar and percentage are.
  if (width > 0 && static_cast<int32_t>(line.size()) > width) line.erase(0, line.size() - width);
  return line;
}

TerminalProgress::TerminalProgress(int fd, bool isTerminal, int32_t columns)
    : fd_(fd), isTerminal_(isTerminal), columns_(columns) {}

void TerminalProgress::Open() {
  InterruptSeen = 0;
  lineShown_ = false;
  forceRedraw_ = true;
  shownLabel_.clear();
  shownPercent_ = 0;
  if (interruptInstalled) return;
  // No SA_RESTART: a Ctrl-C at the overwrite prompt interrupts its read and answers Cancel.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  interruptInstalled = sigaction(SIGINT, &action, &previousInterrupt) == 0;
}

void TerminalProgress::Close() {
  BreakLine();
  if (interruptInstalled) sigaction(SIGINT, &previousInterrupt, nullptr);
  interruptInstalled = false;
}

void TerminalProgress::Update(const std::string& path, int32_t done, int32_t total) {
  if (InterruptSeen) CancelRequested = true;
  if (FullRepaintPending) {
    forceRedraw_ = true;
    FullRepaintPending = false;
  }
  if (!isTerminal_) return;
  const int32_t percent = ProgressPercent(done, total);
  // Rewritten only on a change, as the window's controls are: the path (letter case aside)
  // or the whole percent.
  if (!forceRedraw_ && percent == shownPercent_ && strcasecmp(path.c_str(), shownLabel_.c_str()) == 0)
    return;
  Write("\r" + ProgressLine(path, percent, Columns()) + "\x1b[K");
  lineShown_ = true;
  forceRedraw_ = false;
  shownLabel_ = path;
  shownPercent_ = percent;
}

void TerminalProgress::BreakLine() {
  if (lineShown_) Write("\n");
  lineShown_ = false;
  forceRedraw_ = true;
}

int32_t TerminalProgress::Columns() const {
  if (columns_ > 0) return columns_;
  struct winsize size {};
  if (ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kFallbackColumns;
}

void TerminalProgress::Write(const std::string& text) const {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a display that cannot be written is left as it is
    written += static_cast<size_t>(n);
  }
}
