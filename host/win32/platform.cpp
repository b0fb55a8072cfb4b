#include "host/platform.h"

#include <windows.h>
#include <ntsecapi.h>

#include "host/convert.h"
#include "host/offset_digits.h"
#include "host/paths.h"

namespace {

// The string resource is read into a buffer of 255 characters.
constexpr int kStartupBufferLength = 255;

// 64-bit precision, round to nearest, every x87 exception masked: the conversions check
// their results in software and raise EConvertError themselves.
void SetFloatingPointMode() {
  const unsigned short controlWord = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(controlWord));
}

// The first character of the system default locale's separator; "." when the call fails,
// which includes a separator too long for the two-character buffer.
char SystemDecimalSeparator() {
  char buffer[2];
  if (GetLocaleInfoA(GetSystemDefaultLCID(), LOCALE_SDECIMAL, buffer, sizeof buffer) == 0) {
    return '.';
  }
  return buffer[0];
}

// `wide` in the system code page, when every character has its own code there. A system whose
// code page is UTF-8 takes every character and refuses the checks (ERROR_INVALID_FLAGS).
bool ConvertsExactly(const wchar_t* wide, int length, std::string& text) {
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  BOOL lost = FALSE;
  BOOL* lostCheck = &lost;
  int size = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, lostCheck);
  if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    lostCheck = nullptr;
    size = WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, lostCheck);
  }
  if (size <= 0 || lost) return false;
  text.resize(static_cast<size_t>(size));
  return WideCharToMultiByte(CP_ACP, flags, wide, length, &text[0], size, nullptr, lostCheck) == size && !lost;
}

// A path the system gives in wide characters, for the ANSI calls: as it is, or else its short
// (8.3) form, whose generated names are plain ASCII; empty when neither works (short names
// switched off on that volume).
std::string AnsiPath(const wchar_t* wide, DWORD length) {
  std::string text;
  if (length == 0 || length > MAX_PATH) return text;
  if (ConvertsExactly(wide, static_cast<int>(length), text)) return text;
  wchar_t shortForm[MAX_PATH + 1];
  const DWORD shortLength = GetShortPathNameW(wide, shortForm, MAX_PATH + 1);
  if (shortLength == 0 || shortLength > MAX_PATH || !ConvertsExactly(shortForm, static_cast<int>(shortLength), text))
    text.clear();
  return text;
}

}  // namespace

void InitHostServices() {
  SetFloatingPointMode();
  SetDecimalSeparator(SystemDecimalSeparator());
}

std::string NativePath(const std::string& path) { return path; }

std::string InternalPath(const std::string& nativePath) { return nativePath; }

std::string ModuleFileName() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  return AnsiPath(buffer, length <= MAX_PATH ? length : 0);
}

std::string TempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const std::string path = AnsiPath(buffer, GetTempPathW(MAX_PATH + 1, buffer));
  return path.empty() ? path : WithBackslash(path);
}

std::string WindowsDirectory() {
  char buffer[MAX_PATH + 1];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

std::string SystemDirectory() {
  char buffer[MAX_PATH + 1];
  const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

std::string ArchiveOffsetText() {
  char buffer[kStartupBufferLength + 1];
  const int length = LoadStringA(GetModuleHandleA(nullptr), SFX_OFFSET_STRING_ID, buffer, kStartupBufferLength);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// Installer codes that deployment tools already know where one fits: the user's exit (1602),
// a package that cannot be used (1620) or opened (1619), a temporary folder that cannot be
// written (1632); the system's own code for a full disk.
int ExitCodeOf(StubEnding ending) {
  static const int kCodes[] = {0, 1602, 1620, 1632, ERROR_DISK_FULL, 1619};
  return kCodes[static_cast<int>(ending)];
}

bool RandomBytes(void* buffer, size_t count) {
  return RtlGenRandom(buffer, static_cast<ULONG>(count)) != FALSE;
}

void ReportFatalError(const Exception& failure) {
  const std::string text = ErrorReportText(failure, ModuleFileName());
  MessageBoxA(nullptr, text.c_str(), "Anwendungsfehler", MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}
