#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

std::string ResourceBytes(LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceExA(nullptr, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (!found) return std::string();
  return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))), SizeofResource(nullptr, found));
}

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

// The real window; skipped where Wine has no display for it. Its pixels, centring, shortened
// label and clicks are the GUI test's (tests/gui).
TEST(ProgressWindow, UpdateWritesOnlyChangesAndSwallowsQuit) {
  const HWND window = CreateProgressWindow();
  if (!window) GTEST_SKIP() << "no window can be created here";
  const auto text = [window](int id) {
    char text[kLabelBufferSize] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return std::string(text);
  };
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
  PostQuitMessage(0);
  UpdateProgress(window, "x.txt", 1, 2);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(window);
}

}  // namespace
