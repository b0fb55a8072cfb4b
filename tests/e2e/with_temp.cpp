// Runs a program under Wine with its own temporary folder: Wine takes TMP and TEMP from the
// prefix's registry, not from the Unix environment, so the test sets them here for the child.
//
//   with_temp.exe TEMPDIR PROGRAM   -> the program's exit code
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  SetEnvironmentVariableA("TMP", argv[1]);
  SetEnvironmentVariableA("TEMP", argv[1]);
  std::string commandLine = '"' + std::string(argv[2]) + '"';
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}
