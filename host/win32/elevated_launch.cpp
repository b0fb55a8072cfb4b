#include "host/win32/elevated_launch.h"

#include <shellapi.h>

#include "host/elevation.h"

namespace {

using ShellExecuteExProc = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

// shell32 is loaded only on this rare path and only from the system folder. As a normal import
// it would be loaded, with the many libraries it pulls in, before the program's first
// instruction could restrict the library search, from the folder the installer was downloaded
// to as well; and every run would pay for a library that almost none needs.
HMODULE LoadShellLibrary() {
  HMODULE shell = LoadLibraryExA("shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (shell != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return shell;
  // A Windows 7 without the update that brought the flag: the full path, and its dependencies
  // looked for beside it first.
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\shell32.dll";
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

ShellExecuteExProc ShellExecuteExEntry() {
  HMODULE shell = LoadShellLibrary();
  if (shell == nullptr) return nullptr;
  return reinterpret_cast<ShellExecuteExProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(shell, "ShellExecuteExA")));
}

class ShellStarter : public ElevatedStarter {
 public:
  bool IsPresent(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool StartElevated(const std::string& program, const std::string& parameters,
                     bool hidden) override {
    const ShellExecuteExProc execute = ShellExecuteExEntry();
    if (execute == nullptr) return false;
    // The created process would have run in the caller's current folder; an elevated one
    // starts in the system folder unless told otherwise.
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    // No error boxes of the shell's own: a failure to start is reported by the result alone.
    // Synchronous, because this thread has no message loop for the shell to finish in.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = "runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = length > 0 && length < MAX_PATH ? folder : nullptr;
    info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    if (!execute(&info)) return false;  // ERROR_CANCELLED when the user refused
    process_ = info.hProcess;
    return true;
  }

  int WaitForStarted() override {
    DWORD code = 0;
    if (process_ == nullptr) return 0;
    WaitForInputIdle(process_, INFINITE);
    WaitForSingleObject(process_, INFINITE);
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }

  void ReleaseStarted() override {
    if (process_ != nullptr) CloseHandle(process_);
    process_ = nullptr;
  }

 private:
  HANDLE process_ = nullptr;
};

}  // namespace

bool LaunchElevatedIfRequired(DWORD error, const std::string& commandLine, bool hidden,
                              bool wait, int& exitCode) {
  ShellStarter starter;
  return LaunchAfterCreateFailure(error, starter, commandLine, hidden, wait, exitCode);
}
