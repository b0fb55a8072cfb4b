// The Win32 user interface: the progress window and owner-less message boxes.
#include <windows.h>

#include "ui/progress_logic.h"
#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

class Win32UserInterface : public UserInterface {
 public:
  void OpenProgress() override { window_ = CreateProgressWindow(); }

  void CloseProgress() override {
    DrawHeldBack();
    DestroyWindow(window_);
    window_ = nullptr;
  }

  // Only the states the pacer lets through are drawn, and only then is the queue drained: a
  // click on "Abbruch" is seen within kRepaintIntervalMs all the same.
  void UpdateProgress(const std::string& path, int32_t done, int32_t total) override {
    if (pacer_.Report(path, done, total, GetTickCount(), FullRepaintPending))
      ::UpdateProgress(window_, path, done, total);
  }

  OverwriteAnswer AskOverwrite(const std::string& path) override {
    DrawHeldBack();
    const std::string text = path + " exists. Overwrite?";
    switch (MessageBoxA(nullptr, text.c_str(), "File Exists", MB_YESNOCANCEL | MB_ICONQUESTION)) {
      case IDNO:
        return OverwriteAnswer::No;
      case IDCANCEL:
        return OverwriteAnswer::Cancel;
      default:  // IDYES, and a box that could not be shown
        return OverwriteAnswer::Yes;
    }
  }

  void ShowMessage(const std::string& text, const std::string& caption, unsigned style) override {
    DrawHeldBack();
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  }

  HWND Window() const { return window_; }

 private:
  // The window stays as it was drawn last while a box waits for the user, and is seen last as
  // it is before it closes: so the newest state goes on it first.
  void DrawHeldBack() {
    if (const TProgressState* state = pacer_.TakeHeldBack())
      ::UpdateProgress(window_, state->path, state->done, state->total);
  }

  HWND window_ = nullptr;
  TProgressPacer pacer_;
};

Win32UserInterface& Instance() {
  static Win32UserInterface instance;
  return instance;
}

}  // namespace

UserInterface& PlatformUserInterface() { return Instance(); }

HWND ProgressWindow() { return Instance().Window(); }
