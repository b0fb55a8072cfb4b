#include "host/platform.h"

#include <sys/random.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/convert.h"
#include "host/offset_digits.h"
#include "host/paths.h"

// The archive offset of the native stub (host/offset_digits.h), which the build rewrites in the
// linked program. Read through volatile so the compiler cannot fold the placeholder digits
// into the code.
extern "C" {
volatile const char kSfxArchiveOffsetBlock[] = SFX_OFFSET_MARKER SFX_OFFSET_PLACEHOLDER;
}

namespace {

constexpr size_t kOffsetMarkerLength = sizeof SFX_OFFSET_MARKER - 1;

// The x87 unit computes the long double conversions: 64-bit precision, round to nearest,
// every exception masked (the conversions check their results in software).
void SetFloatingPointMode() {
#if defined(__i386__) || defined(__x86_64__)
  const unsigned short controlWord = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(controlWord));
#endif
}

}  // namespace

void InitHostServices() {
  SetFloatingPointMode();
  SetDecimalSeparator('.');
}

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

std::string InternalPath(const std::string& nativePath) {
  std::string internal = nativePath;
  for (char& c : internal) {
    if (c == '/') c = '\\';
  }
  return internal;
}

std::string ModuleFileName() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  return InternalPath(std::string(buffer, static_cast<size_t>(length)));
}

std::string TempDirectory() {
  const char* configured = std::getenv("TMPDIR");
  if (configured == nullptr || *configured == '\0') return "\\tmp\\";
  return WithBackslash(InternalPath(configured));
}

std::string WindowsDirectory() { return std::string(); }

std::string SystemDirectory() { return std::string(); }

std::string ArchiveOffsetText() {
  std::string digits;
  for (size_t i = 0; i < SFX_OFFSET_DIGIT_COUNT; ++i) {
    digits += kSfxArchiveOffsetBlock[kOffsetMarkerLength + i];
  }
  return digits;
}

// The shell's and sysexits' conventions: 130 for an interrupt (Ctrl-C cancels), data error,
// I/O error, temporary failure, and 127 for a command that cannot be run.
int ExitCodeOf(StubEnding ending) {
  static const int kCodes[] = {0, 130, 65, 74, 75, 127};
  return kCodes[static_cast<int>(ending)];
}

bool RandomBytes(void* buffer, size_t count) {
  return getrandom(buffer, count, 0) == static_cast<ssize_t>(count);
}

void ReportFatalError(const Exception& failure) {
  const std::string text = ErrorReportText(failure, ModuleFileName());
  std::fprintf(stderr, "%s\n", TerminalText(text).c_str());
  std::fflush(stderr);
  std::exit(1);
}
