// The arithmetic and the status-line fitting of the progress display. They need no window
// system: the platform layers supply the text measure and paint what comes out.
#pragma once

#include <cstdint>
#include <string>

#include "host/function_ref.h"

// Percentage of done over total, computed in 80-bit extended precision with the division
// first; a total of zero (never produced by a sound archive) gives 0.
int32_t ProgressPercent(int32_t done, int32_t total);

// Filled width of a bar whose inner part is innerWidth wide, computed in 80-bit extended
// precision with the extended value nearest to 0.01; never wider than innerWidth.
int32_t BarFillWidth(int32_t innerWidth, int32_t percent);

// One shortening step of a non-empty directory text: the first component after the "...\"
// marker gives way to the marker; a leading "\" is kept.
std::string ShortenPath(const std::string& directory);

// Width of a text in whatever unit the caller measures in (pixels, terminal columns).
using TextMeasure = FunctionRef<int32_t(const std::string& text)>;

// True when the text is strictly wider than maxWidth.
bool TextTooWide(const TextMeasure& measure, int32_t maxWidth, const std::string& text);

// The path as the status label shows it: its directory part shortened step by step, the
// drive dropped last, until it fits into maxWidth. The file name alone is never measured
// and is returned even when it is still too wide.
std::string FitPathToLabel(const std::string& path, const TextMeasure& measure, int32_t maxWidth);

// The progress display draws at most one state per kRepaintIntervalMs. The stub reports a state
// for every 4 KB it unpacks and at every member's end: an installer of many small files reports
// thousands a second, and drawing each costs more than unpacking such a file (under Wine about a
// millisecond: the label's text measured and set, the bar repainted, the queue drained). A
// screen shows a frame every 16.7 ms at 60 Hz, so a state replaced sooner than that is never
// seen whole; one frame is the interval. Windows' tick count moves in steps of about 15.6 ms,
// so there a state is drawn every one or two steps.
constexpr uint32_t kRepaintIntervalMs = 16;

struct TProgressState {
  std::string path;
  int32_t done = 0, total = 0;
};

// Decides which reported states are drawn. A run's first state is drawn at once; after that a
// state is drawn when it comes kRepaintIntervalMs or more after the last one drawn, and the
// others are held back, the newest replacing the older. So the window is never behind by more
// than one interval's reports, and a member that takes longer than the interval has its name
// shown within it. The newest state held back is drawn before the window waits for the user (a
// message box) or closes: the last state before such a pause, and the final one, are seen.
class TProgressPacer {
 public:
  // Whether the state reported at `now` (a millisecond tick count, which may wrap) is to be
  // drawn now; if not, it is held back.
  bool Report(const std::string& path, int32_t done, int32_t total, uint32_t now, bool firstOfRun);
  // The state held back, which is held no longer; null when there is none.
  const TProgressState* TakeHeldBack();

 private:
  TProgressState heldBack_;
  bool holding_ = false;
  uint32_t lastDrawn_ = 0;
};

// Origin that centres an extent within the screen's extent; truncates toward zero, so a
// window larger than the screen gets a negative origin rounded toward zero.
int32_t CentredOrigin(int32_t screenExtent, int32_t windowExtent);
