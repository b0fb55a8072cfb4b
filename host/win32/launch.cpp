#include "host/launch.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/win32/elevated_launch.h"

namespace {

// The start-up record's size as the 32-bit system defines it, and the flags that let the
// show-window field count and give the user the busy cursor until the program is idle.
constexpr DWORD kStartupInfoSize = 68;
constexpr DWORD kStartupFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
constexpr DWORD kJobPollMilliseconds = 100;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// What follows the program's name in the stub's own command line, skipped as the system's
// argument rules skip it: up to the closing quote, or else up to the first blank.
const wchar_t* OwnArguments() {
  const wchar_t* at = GetCommandLineW();
  if (*at == L'"') {
    do ++at;
    while (*at != L'\0' && *at != L'"');
    if (*at == L'"') ++at;
  } else {
    while (*at != L'\0' && !IsBlank(*at)) ++at;
  }
  while (IsBlank(*at)) ++at;
  return at;
}

// The command line is in the system code page, as the archive stores names; the arguments
// passed on stay wide, so that letters outside that code page arrive as they were given. (A
// vector, not std::wstring: the library's wide string would bring its whole class along.)
std::vector<wchar_t> WideCommandLine(const std::string& commandLine, bool passArguments) {
  const wchar_t* arguments = passArguments ? OwnArguments() : L"";
  const int narrow = static_cast<int>(commandLine.size());
  size_t count = 0;
  while (arguments[count] != L'\0') ++count;
  std::vector<wchar_t> line(commandLine.size() + 2 + count);
  const int length = MultiByteToWideChar(CP_ACP, 0, commandLine.data(), narrow, line.data(), narrow);
  wchar_t* end = line.data() + (length > 0 ? length : 0);
  if (count > 0) *end++ = L' ';
  std::copy_n(arguments, count + 1, end);
  return line;
}

// The shell's elevated start takes parameters in the system code page only.
std::string AnsiArguments(bool passArguments) {
  const wchar_t* arguments = passArguments ? OwnArguments() : L"";
  if (*arguments == L'\0') return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, arguments, -1, nullptr, 0, nullptr, nullptr);
  std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, arguments, -1, &text[0], size, nullptr, nullptr);
  text.resize(text.size() - 1);
  return " " + text;
}

void WaitUntilEmpty(HANDLE job) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
  while (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr) &&
         accounting.ActiveProcesses > 0)
    Sleep(kJobPollMilliseconds);
}

}  // namespace

// With waitForAll the program starts suspended in a job of its own, so that nothing it starts
// can slip out before it is in; a job that cannot be had (or joined, where the stub already
// runs in a job that allows no nesting) leaves the program to be waited for alone.
bool LaunchCommand(const std::string& commandLine, const TLaunch& how, int& exitCode) {
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = kStartupInfoSize;
  startup.dwFlags = kStartupFlags;
  startup.wShowWindow = how.hidden ? SW_HIDE : SW_SHOWNORMAL;

  std::vector<wchar_t> line = WideCommandLine(commandLine, how.passArguments);
  HANDLE job = how.waitForAll ? CreateJobObjectW(nullptr, nullptr) : nullptr;
  const DWORD flags = NORMAL_PRIORITY_CLASS | (job != nullptr ? CREATE_SUSPENDED : 0);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL created =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &process);
  if (!created) {
    const DWORD error = GetLastError();
    if (job != nullptr) CloseHandle(job);
    // A program that asks for administrator rights gets a second chance through the shell.
    return LaunchElevatedIfRequired(error, commandLine + AnsiArguments(how.passArguments), how.hidden, how.wait,
                                    exitCode);
  }
  if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  if (flags & CREATE_SUSPENDED) ResumeThread(process.hThread);
  if (how.wait) {
    WaitForInputIdle(process.hProcess, INFINITE);
    WaitForSingleObject(process.hProcess, INFINITE);
    if (job != nullptr) WaitUntilEmpty(job);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    exitCode = static_cast<int>(code);
  }
  if (job != nullptr) CloseHandle(job);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
