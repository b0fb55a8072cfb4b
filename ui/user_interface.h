// What the run sequence needs of the user interface: the progress display, the overwrite
// prompt and message boxes. The Win32 build shows the progress window, the native build a
// terminal line.
#pragma once

#include <cstdint>
#include <string>

#include "archive/extraction_observer.h"  // OverwriteAnswer

// Message box styles of the extraction's messages (the Win32 values).
constexpr unsigned kMessageExclamation = 0x30;  // MB_ICONEXCLAMATION | MB_OK

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Creates and shows the progress window (or its terminal counterpart).
  virtual void OpenProgress() = 0;
  virtual void CloseProgress() = 0;
  // Shows path and percentage, then lets the user act (drains the message queue); a click on
  // "Abbruch" sets CancelRequested.
  virtual void UpdateProgress(const std::string& path, int32_t done, int32_t total) = 0;
  virtual OverwriteAnswer AskOverwrite(const std::string& path) = 0;
  // An owner-less message box: "This is not a valid archive" / "Archive read error", ...
  virtual void ShowMessage(const std::string& text, const std::string& caption, unsigned style) = 0;
};

UserInterface& PlatformUserInterface();  // from ui/win32 or ui/posix

// The progress window's state (single-threaded; see the run sequence). The run sequence hands
// CancelRequested to the extraction run as its cancel flag.
extern bool CancelRequested;     // set by "Abbruch" (and by the run on a Cancel answer)
extern bool FullRepaintPending;  // the first progress update repaints the whole window
