// Runs a program under Wine with its own temporary folder: Wine takes TMP and TEMP from the
// prefix's registry, not from the Unix environment, so the test sets them here for the child.
// Wide characters throughout, so that folders outside the code page reach the child as named;
// further arguments are handed on, quoted so that the child's argument rules give them back.
//
//   with_temp.exe TEMPDIR PROGRAM [ARGS...]   -> the program's exit code, which is also the
//   last line on its standard output ("with_temp: exit N"): Wine's own exit status keeps only
//   its low eight bits.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Backslashes count only before a quote: doubled there, and the quote escaped.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(backslashes * 2, L'\\') + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  SetEnvironmentVariableW(L"TMP", argv[1]);
  SetEnvironmentVariableW(L"TEMP", argv[1]);
  std::wstring commandLine = L'"' + std::wstring(argv[2]) + L'"';
  for (int i = 3; i < argc; ++i) commandLine += L" " + Quoted(argv[i]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 2;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("with_temp: exit %lu\n", code);
  std::fflush(stdout);
  return static_cast<int>(code);
}
