#include "ui/win32/progress_dialog.h"

#include "ui/progress_logic.h"
#include "ui/user_interface.h"

namespace {

void CentreOnScreen(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  // The whole screen, not the work area.
  const int x = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), width);
  const int y = CentredOrigin(GetSystemMetrics(SM_CYSCREEN), height);
  MoveWindow(window, x, y, width, height, FALSE);
}

int32_t BarPercent(HWND window) {
  return static_cast<int32_t>(GetDlgItemInt(window, kProgressBarId, nullptr, TRUE));
}

// Every region is deleted right after selecting it: the device context keeps its own copy.
void SelectClipRectangle(HDC dc, int left, int top, int right, int bottom) {
  HRGN region = CreateRectRgn(left, top, right, bottom);
  SelectClipRgn(dc, region);
  DeleteObject(region);
}

void FillSolid(HDC dc, int left, int top, int right, int bottom, int colourIndex) {
  const RECT area{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(GetSysColor(colourIndex));
  FillRect(dc, &area, brush);
  DeleteObject(brush);
}

void DrawCentredText(HDC dc, const RECT& inner, const char* text, int colourIndex) {
  RECT box = inner;
  SetTextColor(dc, GetSysColor(colourIndex));
  DrawTextA(dc, text, -1, &box, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

// The bar's text: the percentage in decimal and "%", written backwards from the buffer's end
// (no string, no allocation: the stub's size is watched); returns where it starts.
const char* PercentText(int32_t percent, char (&buffer)[16]) {
  char* text = buffer + sizeof buffer;
  *--text = '\0';
  *--text = '%';
  uint32_t rest = percent < 0 ? 0u - static_cast<uint32_t>(percent) : static_cast<uint32_t>(percent);
  do *--text = static_cast<char>('0' + rest % 10); while ((rest /= 10) != 0);
  if (percent < 0) *--text = '-';
  return text;
}

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CentreOnScreen(window);
      return 0;  // no keyboard focus
    case WM_DRAWITEM: {
      // The bar is the only owner-drawn control, so the item is not looked at further.
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      PaintProgressBar(item->hDC, item->rcItem, BarPercent(window));
      return 1;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kCancelButtonId) CancelRequested = true;
      return 0;
    default:
      return 0;
  }
}

HWND CreateProgressWindow() {
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), "QZProgressClass", nullptr,
                                   ProgressDialogProc, 0);
  ShowWindow(window, SW_SHOW);
  return window;
}

void UpdateProgress(HWND window, const std::string& path, int32_t done, int32_t total) {
  if (FullRepaintPending) {
    InvalidateRect(window, nullptr, TRUE);
    FullRepaintPending = false;
  }
  const std::string text = FitPathToLabel(window, path);
  // Written only on a real change, so the label repaints at most once per member.
  char shown[kLabelBufferSize] = "";
  GetDlgItemTextA(window, kStatusLabelId, shown, kLabelBufferSize);
  if (lstrcmpiA(shown, text.c_str()) != 0) SetDlgItemTextA(window, kStatusLabelId, text.c_str());
  const int32_t percent = ProgressPercent(done, total);
  if (percent != BarPercent(window))
    SetDlgItemInt(window, kProgressBarId, static_cast<UINT>(percent), TRUE);  // decimal, signed
  DrainMessageQueue();
}

std::string FitPathToLabel(HWND window, const std::string& path) {
  // The label's device context, released on every way out, a failure's too.
  struct LabelContext {
    HWND label;
    HDC dc;
    ~LabelContext() { ReleaseDC(label, dc); }
  };
  const HWND label = GetDlgItem(window, kStatusLabelId);
  const LabelContext context{label, GetDC(label)};
  RECT client{};
  GetClientRect(label, &client);
  // Measured in the font of a fresh device context of the label, not the label's own font.
  const auto measure = [dc = context.dc](const std::string& text) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return static_cast<int32_t>(extent.cx);
  };
  return FitPathToLabel(path, measure, client.right - client.left);
}

void DrainMessageQueue() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    // A quit request must not end anything here: the run sequence decides when to stop.
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void PaintProgressBar(HDC dc, const RECT& item, int32_t percent) {
  // The frame with the context's current pen; LineTo leaves out its end point.
  MoveToEx(dc, item.left, item.top, nullptr);
  LineTo(dc, item.left, item.bottom - 1);
  LineTo(dc, item.right - 1, item.bottom - 1);
  LineTo(dc, item.right - 1, item.top);
  LineTo(dc, item.left, item.top);
  // One pixel in from every side; plain arithmetic, so the stub imports no rectangle helpers.
  const RECT inner{item.left + 1, item.top + 1, item.right - 1, item.bottom - 1};
  char buffer[16];
  const char* text = PercentText(percent, buffer);
  SetBkMode(dc, TRANSPARENT);
  SelectClipRgn(dc, nullptr);
  const int split = inner.left + BarFillWidth(inner.right - inner.left, percent);
  // The text is drawn twice over the whole bar, each time clipped to one side of the split,
  // so that it is inverted exactly where it crosses the filled part.
  FillSolid(dc, split, inner.top, inner.right, inner.bottom, COLOR_BTNFACE);
  SelectClipRectangle(dc, split, inner.top - 1, inner.right + 1, inner.bottom + 1);
  DrawCentredText(dc, inner, text, COLOR_HIGHLIGHT);
  SelectClipRgn(dc, nullptr);
  FillSolid(dc, inner.left, inner.top, split, inner.bottom, COLOR_HIGHLIGHT);
  SelectClipRectangle(dc, inner.left - 1, inner.top - 1, split, inner.bottom + 1);
  DrawCentredText(dc, inner, text, COLOR_HIGHLIGHTTEXT);
  SelectClipRgn(dc, nullptr);
}
