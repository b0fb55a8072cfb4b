// The Win32 progress window: the dialog "QZProgressClass" from the program's resources, its
// dialog procedure and the progress display written into its controls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

constexpr int kStatusLabelId = 1;   // the file being written
constexpr int kProgressBarId = 2;   // owner-drawn; its window text is the percentage
constexpr int kCancelButtonId = 3;  // "Abbruch"
constexpr int kLabelBufferSize = 260;

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the window from the template (centred during WM_INITDIALOG) and shows it.
HWND CreateProgressWindow();

void UpdateProgress(HWND window, const std::string& path, int32_t done, int32_t total);
std::string FitPathToLabel(HWND window, const std::string& path);
void DrainMessageQueue();
// Paints the bar into item for the given percentage; the dialog procedure reads the
// percentage back from the bar's own text.
void PaintProgressBar(HDC dc, const RECT& item, int32_t percent);

// The window that PlatformUserInterface().OpenProgress() created; null while none is open.
HWND ProgressWindow();
