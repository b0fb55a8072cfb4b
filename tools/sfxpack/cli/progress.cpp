#include "tools/sfxpack/cli/progress.h"

#include <cstdio>
#include <utility>

#include "tools/sfxpack/platform/tool_platform.h"

namespace {

constexpr int kBarWidth = 24;

}  // namespace

ProgressBar::ProgressBar(std::string verb, uint64_t total)
    : verb_(std::move(verb)), total_(total), active_(StderrIsTerminal()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Advance(uint64_t bytes, const std::string& item) {
  done_ += bytes;
  if (done_ > total_) done_ = total_;
  item_ = item;
  Draw();
}

void ProgressBar::Show(const std::string& item) { Advance(0, item); }

void ProgressBar::Finish() {
  Clear();
  active_ = false;
}

void ProgressBar::Clear() {
  if (!active_ || shownPercent_ < 0) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  shownPercent_ = -1;
}

void ProgressBar::Draw() {
  if (!active_) return;
  const int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
  if (percent == shownPercent_ && item_ == shownItem_) return;
  shownPercent_ = percent;
  shownItem_ = item_;
  std::string bar(kBarWidth, ' ');
  for (int i = 0; i < percent * kBarWidth / 100; ++i) bar[i] = '#';
  std::string line = verb_ + " [" + bar + "] " + std::to_string(percent) + "% ";
  // Long names keep their end, which is the part that tells files apart.
  const size_t room = static_cast<size_t>(TerminalColumns() - 1);
  std::string item = item_;
  if (line.size() + item.size() > room) {
    const size_t keep = room > line.size() + 3 ? room - line.size() - 3 : 0;
    item = keep == 0 ? std::string() : "..." + item.substr(item.size() - keep);
  }
  std::fprintf(stderr, "\r%s%s\033[K", line.c_str(), item.c_str());
  std::fflush(stderr);
}
