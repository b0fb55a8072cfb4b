// The native build's progress display: one line on a terminal, rewritten in place.
#pragma once

#include <cstdint>
#include <string>

// The heading, the path, a bar and the percentage, no wider than columns - 1 characters so
// that the terminal never wraps the line (a wrapped line could not be rewritten in place).
std::string ProgressLine(const std::string& path, int32_t percent, int32_t columns);

// The terminal's counterpart of the progress window. When output is not a terminal it shows
// nothing. Ctrl-C between Open and Close is turned into CancelRequested.
class TerminalProgress {
 public:
  // columns <= 0: ask the terminal for its width on every update.
  TerminalProgress(int fd, bool isTerminal, int32_t columns = 0);
  void Open();
  void Close();
  void Update(const std::string& path, int32_t done, int32_t total);
  // Ends the progress line so that other output starts on a line of its own; the next
  // update draws the line again.
  void BreakLine();

 private:
  int32_t Columns() const;
  void Write(const std::string& text) const;

  int fd_;
  bool isTerminal_;
  int32_t columns_;
  bool lineShown_ = false;
  bool forceRedraw_ = true;
  std::string shownLabel_;
  int32_t shownPercent_ = 0;
};

// Set by the SIGINT handler while the progress is open; Update copies it into CancelRequested.
extern volatile int InterruptSeen;
