// Opens the progress window through the platform user interface and feeds UpdateProgress a
// scripted run, reporting on stdout what a test on the screen needs to know: where the
// window, the bar and the "Abbruch" button are, the label and bar texts, the colours and
// where the bar's fill must end.
//
//   progress_window_driver [--total N] [--step N] [--pause-at P] [--pause-ms MS] [--loop]
//                          [--report FILE] PATH...
//
// The paths are the members written one after another, each taking an equal share of the
// total. At --pause-at the driver stops advancing, prints its report and keeps updating
// (and so draining the queue) until the user cancels or --pause-ms (0: 60 s) pass.
// --loop starts the run over until cancelled. It prints "CancelRequested" when it sees it
// and exits 0 then; it exits 3 when a pause ran out without a cancel.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/progress_logic.h"
#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

struct Options {
  int32_t total = 100000;
  int32_t step = 250;
  int32_t pauseAt = -1;
  DWORD pauseMs = 0;
  bool loop = false;
  std::string reportPath;
  std::vector<std::string> paths;
};

FILE* report = stdout;

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(report, format, args);
  va_end(args);
  fputc('\n', report);
  fflush(report);
}

std::string Hex(COLORREF colour) {
  char text[8];
  snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

RECT ScreenRectOf(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Report(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  Say("screen %d %d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  Say("window %ld %ld %ld %ld", outer.left, outer.top, outer.right, outer.bottom);
  const RECT bar = ScreenRectOf(GetDlgItem(window, kProgressBarId));
  Say("bar %ld %ld %ld %ld", bar.left, bar.top, bar.right, bar.bottom);
  const RECT button = ScreenRectOf(GetDlgItem(window, kCancelButtonId));
  Say("button %ld %ld %ld %ld", button.left, button.top, button.right, button.bottom);
  char text[kLabelBufferSize] = "";
  GetDlgItemTextA(window, kStatusLabelId, text, sizeof text);
  Say("label %s", text);
  GetDlgItemTextA(window, kProgressBarId, text, sizeof text);
  Say("bartext %s", text);
  const int32_t percent = static_cast<int32_t>(GetDlgItemInt(window, kProgressBarId, nullptr, TRUE));
  const int32_t innerLeft = bar.left + 1, innerWidth = bar.right - bar.left - 2;
  Say("split %d", innerLeft + BarFillWidth(innerWidth, percent));
  Say("highlight %s", Hex(GetSysColor(COLOR_HIGHLIGHT)).c_str());
  Say("face %s", Hex(GetSysColor(COLOR_BTNFACE)).c_str());
  Say("highlighttext %s", Hex(GetSysColor(COLOR_HIGHLIGHTTEXT)).c_str());
  Say("paused %d", percent);
}

bool Options_Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--total" && more) o.total = atoi(argv[++i]);
    else if (a == "--step" && more) o.step = atoi(argv[++i]);
    else if (a == "--pause-at" && more) o.pauseAt = atoi(argv[++i]);
    else if (a == "--pause-ms" && more) o.pauseMs = static_cast<DWORD>(atoi(argv[++i]));
    else if (a == "--report" && more) o.reportPath = argv[++i];
    else if (a == "--loop") o.loop = true;
    else if (a.rfind("--", 0) == 0) return false;
    else o.paths.push_back(a);
  }
  if (o.paths.empty()) o.paths.push_back("C:\\Temp\\setup.exe");
  return o.total > 0 && o.step > 0;
}

// Keeps the window alive at one position until cancelled or the time is up.
bool Pause(UserInterface& ui, const std::string& path, int32_t done, int32_t total, DWORD ms) {
  const DWORD start = GetTickCount();
  const DWORD limit = ms ? ms : 60000;
  while (!CancelRequested && GetTickCount() - start < limit) {
    ui.UpdateProgress(path, done, total);
    Sleep(10);
  }
  return CancelRequested;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Options_Parse(argc, argv, o)) {
    fprintf(stderr, "usage: progress_window_driver [--total N] [--step N] [--pause-at P] "
                    "[--pause-ms MS] [--loop] [--report FILE] PATH...\n");
    return 2;
  }
  if (!o.reportPath.empty() && !(report = fopen(o.reportPath.c_str(), "wb"))) return 2;
  UserInterface& ui = PlatformUserInterface();
  ui.OpenProgress();
  HWND window = ProgressWindow();
  if (!window) {
    Say("no window");
    return 1;
  }
  CancelRequested = false;
  bool paused = false;
  int exitCode = 0;
  do {
    FullRepaintPending = true;
    const int32_t share = o.total / static_cast<int32_t>(o.paths.size());
    for (int32_t done = 0; done <= o.total && !CancelRequested; done += o.step) {
      const size_t member = std::min(o.paths.size() - 1, static_cast<size_t>(done / (share ? share : 1)));
      ui.UpdateProgress(o.paths[member], done, o.total);
      if (!paused && o.pauseAt >= 0 && ProgressPercent(done, o.total) >= o.pauseAt) {
        paused = true;
        ui.UpdateProgress(o.paths[member], done, o.total);
        Report(window);
        if (!Pause(ui, o.paths[member], done, o.total, o.pauseMs) && !o.pauseMs) exitCode = 3;
        if (exitCode) break;
      }
    }
  } while (o.loop && !CancelRequested && !exitCode);
  if (CancelRequested) Say("CancelRequested");
  else if (!exitCode) Say("done");
  ui.CloseProgress();
  return exitCode;
}
