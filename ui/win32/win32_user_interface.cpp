// The Win32 user interface: the progress window and owner-less message boxes.
#include <windows.h>

#include "ui/user_interface.h"
#include "ui/win32/progress_dialog.h"

namespace {

class Win32UserInterface : public UserInterface {
 public:
  void OpenProgress() override { window_ = CreateProgressWindow(); }

  void CloseProgress() override {
    DestroyWindow(window_);
    window_ = nullptr;
  }

  void UpdateProgress(const std::string& path, int32_t done, int32_t total) override {
    ::UpdateProgress(window_, path, done, total);
  }

  OverwriteAnswer AskOverwrite(const std::string& path) override {
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
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  }

  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

Win32UserInterface& Instance() {
  static Win32UserInterface instance;
  return instance;
}

}  // namespace

UserInterface& PlatformUserInterface() { return Instance(); }

HWND ProgressWindow() { return Instance().Window(); }
