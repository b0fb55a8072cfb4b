#include "host/launch.h"

#include <windows.h>

#include <vector>

#include "host/win32/elevated_launch.h"

namespace {

// The start-up record's size as the 32-bit system defines it, and the flags that let the
// show-window field count and give the user the busy cursor until the program is idle.
constexpr DWORD kStartupInfoSize = 68;
constexpr DWORD kStartupFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;

}  // namespace

bool LaunchCommand(const std::string& commandLine, bool hidden, bool wait) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = kStartupInfoSize;
  startup.dwFlags = kStartupFlags;
  startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;

  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL created = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
  // A program that asks for administrator rights gets a second chance through the shell.
  if (!created) return LaunchElevatedIfRequired(GetLastError(), commandLine, hidden, wait);
  if (wait) {
    WaitForInputIdle(process.hProcess, INFINITE);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
