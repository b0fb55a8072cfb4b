#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/progress_logic.h"
#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

HRSRC Neutral(LPCSTR type, LPCSTR name) {
  return FindResourceExA(nullptr, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}
const void* NeutralResource(LPCSTR type, LPCSTR name) {
  HRSRC found = Neutral(type, name);
  return found ? LockResource(LoadResource(nullptr, found)) : nullptr;
}
std::string ResourceBytes(LPCSTR type, LPCSTR name) {
  HRSRC found = Neutral(type, name);
  return found ? std::string(static_cast<const char*>(NeutralResource(type, name)),
                             SizeofResource(nullptr, found))
               : std::string();
}

// The dialog template's layout is the GUI test's (tests/gui: pixels and clicks); its offset
// digits are checked by stub_check.sh on the built stub.
std::string Utf16(const std::string& text) {
  std::string wide;
  for (char c : text) wide += std::string{c, '\0'};
  return wide;
}

TEST(StubResources, ManifestAndVersionInfo) {
  const std::string manifest = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1));
  EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
  EXPECT_NE(std::string::npos, manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"));  // 7
  EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));  // 10, 11
  EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
  EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));  // classic controls
  const std::string version = ResourceBytes(RT_VERSION, MAKEINTRESOURCEA(1));
  EXPECT_NE(std::string::npos, version.find(Utf16("Vask Setup Selbstentpacker")));
  EXPECT_NE(std::string::npos, version.find(Utf16("sfxstub.exe")));
}

// A 32-bit bitmap to paint the bar into.
struct Canvas {
  Canvas(int width, int height) : width(width), dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
  }
  ~Canvas() { SelectObject(dc, old), DeleteObject(bitmap), DeleteDC(dc); }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const DWORD p = bits[y * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int width;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  DWORD* bits = nullptr;
};

TEST(PaintProgressBar, FillsUpToTheSplitAndInvertsTheText) {
  Canvas canvas(102, 24);
  const RECT item{0, 0, 102, 24};
  PaintProgressBar(canvas.dc, item, 50);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int split = 1 + BarFillWidth(100, 50);
  for (int x = 1; x < 101; ++x) EXPECT_EQ(x < split ? highlight : face, canvas.At(x, 1)) << x;
  EXPECT_EQ(RGB(0, 0, 0), canvas.At(0, 0));     // frame in the default black pen
  EXPECT_EQ(RGB(0, 0, 0), canvas.At(101, 23));
  bool invertedText = false, plainText = false;
  for (int y = 2; y < 22; ++y)
    for (int x = 1; x < 101; ++x) {
      invertedText |= x < split && canvas.At(x, y) == GetSysColor(COLOR_HIGHLIGHTTEXT);
      plainText |= x >= split && canvas.At(x, y) == highlight;
    }
  EXPECT_TRUE(invertedText);
  EXPECT_TRUE(plainText);
}

// Only the cancel button cancels; a drawn item is painted and answered with 1.
TEST(ProgressDialogProc, CancelAndDrawItem) {
  CancelRequested = false;
  EXPECT_EQ(0, ProgressDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0));
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(0, ProgressDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(3, BN_SETFOCUS), 0));
  EXPECT_TRUE(CancelRequested);
  EXPECT_EQ(0, ProgressDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0));
  EXPECT_TRUE(CancelRequested);
  EXPECT_EQ(0, ProgressDialogProc(nullptr, WM_CLOSE, 0, 0));
  CancelRequested = false;

  Canvas canvas(50, 10);
  DRAWITEMSTRUCT item{};
  item.hDC = canvas.dc;
  item.rcItem = {0, 0, 50, 10};
  EXPECT_EQ(1, ProgressDialogProc(nullptr, WM_DRAWITEM, 2, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), canvas.At(1, 1));  // an empty percentage reads as 0
}

// The real window, centred on the whole screen; skipped where Wine has no display for it.
TEST(ProgressWindow, UpdateWritesOnlyChangesAndSwallowsQuit) {
  const HWND window = CreateProgressWindow();
  if (!window) GTEST_SKIP() << "no window can be created here";
  const auto text = [window](int id) {
    char text[kLabelBufferSize] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return std::string(text);
  };
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(CentredOrigin(GetSystemMetrics(SM_CXSCREEN), outer.right - outer.left), outer.left);
  EXPECT_EQ(CentredOrigin(GetSystemMetrics(SM_CYSCREEN), outer.bottom - outer.top), outer.top);
  FullRepaintPending = true;
  UpdateProgress(window, "C:\\Temp\\Setup.exe", 0, 100);
  EXPECT_FALSE(FullRepaintPending);
  EXPECT_EQ("", text(kProgressBarId));  // 0 equals what an empty text reads as
  UpdateProgress(window, "c:\\temp\\SETUP.EXE", 53, 100);
  EXPECT_EQ("C:\\Temp\\Setup.exe", text(kStatusLabelId));
  EXPECT_EQ("52", text(kProgressBarId));
  UpdateProgress(window, "C:\\Temp\\Readme.txt", 100, 100);
  EXPECT_EQ("C:\\Temp\\Readme.txt", text(kStatusLabelId));
  EXPECT_EQ("100", text(kProgressBarId));
  UpdateProgress(window, "C:\\Programme\\Beispielanwendung mit langem Namen\\Daten\\Unterordner\\"
                 "Noch tiefer\\setup.daten.tar.gz", 1, 100);
  const std::string shown = text(kStatusLabelId);
  EXPECT_NE(std::string::npos, shown.find("...\\")) << shown;
  EXPECT_EQ("setup.daten.tar.gz", shown.substr(shown.size() - 18)) << shown;
  PostQuitMessage(0);
  UpdateProgress(window, "x.txt", 1, 2);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(window);
}

}  // namespace
