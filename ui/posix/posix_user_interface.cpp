// The native user interface: a progress line and questions on the terminal, messages on
// stderr.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "host/exceptions.h"
#include "host/platform.h"
#include "ui/posix/terminal_progress.h"
#include "ui/user_interface.h"

namespace {

// Reads one answer line from the terminal: 'y', 'n' or 'c' by its first letter, 0 for
// anything else, -1 at the end of input, -2 when Ctrl-C interrupted the read.
int ReadAnswer(int tty) {
  int answer = 0;
  bool first = true;
  for (;;) {
    char c;
    const ssize_t n = ::read(tty, &c, 1);
    if (n < 0) return errno == EINTR ? -2 : -1;
    if (n == 0) return first ? -1 : answer;
    if (c == '\n') return answer;
    if (first && !std::isspace(static_cast<unsigned char>(c))) {
      answer = std::tolower(static_cast<unsigned char>(c));
      first = false;
    }
  }
}

OverwriteAnswer AskOnTerminal(int tty, const std::string& question) {
  for (;;) {
    if (::write(tty, question.data(), question.size()) < 0) return OverwriteAnswer::Yes;
    switch (ReadAnswer(tty)) {
      case 'y': return OverwriteAnswer::Yes;
      case 'n': return OverwriteAnswer::No;
      case 'c': return OverwriteAnswer::Cancel;
      case -2: return OverwriteAnswer::Cancel;  // Ctrl-C
      case -1: return OverwriteAnswer::Yes;     // no answer to be had: as when no box shows
      default: break;                           // ask again
    }
  }
}

class PosixUserInterface : public UserInterface {
 public:
  PosixUserInterface() : progress_(STDERR_FILENO, isatty(STDERR_FILENO) != 0) {}

  void OpenProgress() override { progress_.Open(); }
  void CloseProgress() override { progress_.Close(); }

  void UpdateProgress(const std::string& path, int32_t done, int32_t total) override {
    progress_.Update(path, done, total);
  }

  OverwriteAnswer AskOverwrite(const std::string& path) override {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0) return OverwriteAnswer::Yes;
    progress_.BreakLine();
    const OverwriteAnswer answer =
        AskOnTerminal(tty, NativePath(path) + " exists. Overwrite? [y]es/[n]o/[c]ancel ");
    ::close(tty);
    return answer;
  }

  void ShowMessage(const std::string& text, const std::string& caption, unsigned) override {
    progress_.BreakLine();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), TerminalText(text).c_str());
    std::fflush(stderr);
  }

 private:
  TerminalProgress progress_;
};

}  // namespace

UserInterface& PlatformUserInterface() {
  static PosixUserInterface instance;
  return instance;
}
