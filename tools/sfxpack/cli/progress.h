// A progress bar on stderr, drawn only when stderr is a terminal, so that scripts and pipes
// see nothing of it.
#pragma once

#include <cstdint>
#include <string>

class ProgressBar {
 public:
  ProgressBar(std::string verb, uint64_t total);
  ~ProgressBar();  // clears the line
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Counts `bytes` more as done while working on `item`.
  void Advance(uint64_t bytes, const std::string& item);
  void Show(const std::string& item);
  void Finish();
  // Takes the bar off the line so that other output can be printed; the next Advance or Show
  // draws it again.
  void Clear();

 private:
  void Draw();

  std::string verb_;
  uint64_t total_;
  uint64_t done_ = 0;
  std::string item_;
  int shownPercent_ = -1;
  std::string shownItem_;
  bool active_;
};
