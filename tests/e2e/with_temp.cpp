// Runs a program under Wine with its own temporary folder: Wine takes TMP and TEMP from the
// prefix's registry, not from the Unix environment, so the test sets them here for the child.
// Wide characters throughout, so that folders outside the code page reach the child as named.
//
//   with_temp.exe TEMPDIR PROGRAM   -> the program's exit code
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  SetEnvironmentVariableW(L"TMP", argv[1]);
  SetEnvironmentVariableW(L"TEMP", argv[1]);
  std::wstring commandLine = L'"' + std::wstring(argv[2]) + L'"';
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}
