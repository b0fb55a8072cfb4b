// Opens the progress window through the platform user interface and feeds UpdateProgress a
// run that stops at 40 %, for the test on the screen (tests/e2e/e2e.py): it reports where the
// window, the bar and "Abbruch" are, the label and bar texts, the colours and where the bar's
// fill must end, then keeps updating (and so draining the queue) until the user cancels.
//
//   progress_window_driver PATH...   -> 0 after "CancelRequested", 3 when 60 s pass
//
// The paths are the members written one after another, each an equal share of the total.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/progress_logic.h"
#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

constexpr int32_t kTotal = 100000, kStep = 250, kPauseAt = 40;
constexpr DWORD kPauseMs = 60000;

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

void Report(FILE* out, HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  const RECT bar = ScreenRectOf(GetDlgItem(window, kProgressBarId));
  const RECT button = ScreenRectOf(GetDlgItem(window, kCancelButtonId));
  char label[kLabelBufferSize] = "", barText[kLabelBufferSize] = "";
  GetDlgItemTextA(window, kStatusLabelId, label, sizeof label);
  GetDlgItemTextA(window, kProgressBarId, barText, sizeof barText);
  const int32_t percent = static_cast<int32_t>(GetDlgItemInt(window, kProgressBarId, nullptr, TRUE));
  fprintf(out, "screen %d %d\nwindow %ld %ld %ld %ld\n", GetSystemMetrics(SM_CXSCREEN),
          GetSystemMetrics(SM_CYSCREEN), outer.left, outer.top, outer.right, outer.bottom);
  fprintf(out, "bar %ld %ld %ld %ld\nbutton %ld %ld %ld %ld\n", bar.left, bar.top, bar.right, bar.bottom,
          button.left, button.top, button.right, button.bottom);
  fprintf(out, "label %s\nbartext %s\nsplit %ld\n", label, barText,
          bar.left + 1 + BarFillWidth(bar.right - bar.left - 2, percent));
  fprintf(out, "highlight %s\nface %s\npaused %d\n", Hex(GetSysColor(COLOR_HIGHLIGHT)).c_str(),
          Hex(GetSysColor(COLOR_BTNFACE)).c_str(), percent);
  fflush(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  UserInterface& ui = PlatformUserInterface();
  ui.OpenProgress();
  HWND window = ProgressWindow();
  if (!window) return 1;
  CancelRequested = false;
  FullRepaintPending = true;
  const int32_t share = kTotal / (argc - 1);
  int32_t done = 0;
  for (;; done += kStep) {
    ui.UpdateProgress(argv[1 + done / share], done, kTotal);
    if (CancelRequested || ProgressPercent(done, kTotal) >= kPauseAt) break;
  }
  const std::string path = argv[1 + done / share];
  for (const DWORD start = GetTickCount(); GetTickCount() - start < kRepaintIntervalMs;) Sleep(1);  // now it is drawn
  ui.UpdateProgress(path, done, kTotal);
  Report(stdout, window);
  for (const DWORD start = GetTickCount(); !CancelRequested && GetTickCount() - start < kPauseMs; Sleep(10)) {
    ui.UpdateProgress(path, done, kTotal);
  }
  if (CancelRequested) printf("CancelRequested\n");
  ui.CloseProgress();
  return CancelRequested ? 0 : 3;
}
