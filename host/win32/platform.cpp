#include "host/platform.h"

#include <windows.h>

#include "host/convert.h"
#include "host/offset_digits.h"
#include "host/paths.h"

namespace {

// The program path and the string resource are read into buffers of 255 characters.
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

}  // namespace

void InitHostServices() {
  SetFloatingPointMode();
  SetDecimalSeparator(SystemDecimalSeparator());
}

std::string NativePath(const std::string& path) { return path; }

std::string InternalPath(const std::string& nativePath) { return nativePath; }

std::string ModuleFileName() {
  char buffer[kStartupBufferLength + 1];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

std::string TempDirectory() {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return WithBackslash(std::string(buffer, length));
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

void ReportFatalError(const Exception& failure) {
  const std::string text = ErrorReportText(failure, ModuleFileName());
  MessageBoxA(nullptr, text.c_str(), "Anwendungsfehler", MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}
