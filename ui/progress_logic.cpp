#include "ui/progress_logic.h"

#include "host/paths.h"

namespace {

// Remainders cut from a path while shortening it are held in 255 characters.
constexpr std::string::size_type kMaxRemainder = 255;

const std::string kMarker = "...\\";

}  // namespace

int32_t ProgressPercent(int32_t done, int32_t total) {
  if (total == 0) return 0;
  // The division comes first and each step is rounded to 64 bits of significand: this is
  // why 53 of 100 reads 52. Keep the two steps apart so no compiler fuses them.
  volatile long double quotient = static_cast<long double>(done) / static_cast<long double>(total);
  volatile long double scaled = quotient * 100.0L;
  return static_cast<int32_t>(scaled);
}

int32_t BarFillWidth(int32_t innerWidth, int32_t percent) {
  // 0.01L lies just below 0.01, so many exact products come out one pixel short.
  volatile long double fraction = static_cast<long double>(percent) * 0.01L;
  volatile long double width = static_cast<long double>(innerWidth) * fraction;
  int32_t fill = static_cast<int32_t>(width);
  return fill > innerWidth ? innerWidth : fill;
}

std::string ShortenPath(const std::string& directory) {
  if (directory == "\\") return std::string();
  std::string rest = directory;
  const bool rooted = !rest.empty() && rest[0] == '\\';
  if (rooted) rest.erase(0, 1);
  // Any leading "." is taken to be the marker an earlier step left.
  if (!rest.empty() && rest[0] == '.') rest.erase(0, 4);
  const auto slash = rest.find('\\');
  rest = slash == std::string::npos ? std::string() : kMarker + rest.substr(slash + 1, kMaxRemainder);
  return rooted ? "\\" + rest : rest;
}

bool TextTooWide(const TextMeasure& measure, int32_t maxWidth, const std::string& text) {
  return maxWidth < measure(text);
}

std::string FitPathToLabel(const std::string& path, const TextMeasure& measure, int32_t maxWidth) {
  std::string result = path;
  std::string directory = DirectoryOf(path);
  const std::string file = FileNameOf(path);
  std::string drive;
  if (directory.size() >= 2 && directory[1] == ':') {
    drive = directory.substr(0, 2);
    directory.erase(0, 2);
  }
  // The emptiness test comes first so that a bare file name is never measured.
  while ((!directory.empty() || !drive.empty()) && TextTooWide(measure, maxWidth, result)) {
    if (directory == "\\" + kMarker) {
      drive.clear();
      directory = kMarker;
    } else if (directory.empty()) {
      drive.clear();
    } else {
      directory = ShortenPath(directory);
    }
    result = drive + directory + file;
  }
  return result;
}

bool TProgressPacer::Report(const std::string& path, int32_t done, int32_t total, uint32_t now, bool firstOfRun) {
  // Unsigned subtraction measures across the tick count's wrap (every 49.7 days).
  if (firstOfRun || now - lastDrawn_ >= kRepaintIntervalMs) {
    lastDrawn_ = now;
    holding_ = false;
    return true;
  }
  heldBack_.path = path;  // keeps its buffer: no allocation per report
  heldBack_.done = done;
  heldBack_.total = total;
  holding_ = true;
  return false;
}

const TProgressState* TProgressPacer::TakeHeldBack() {
  const bool held = holding_;
  holding_ = false;
  return held ? &heldBack_ : nullptr;
}

int32_t CentredOrigin(int32_t screenExtent, int32_t windowExtent) {
  return (screenExtent - windowExtent) / 2;
}
