// Process-level platform services: the program's own path, the system's folders, the archive
// offset text, start-up settings and the top-level error report. One implementation each in
// host/win32 and host/posix.
#pragma once

#include <string>

#include "host/exceptions.h"

// FPU mode: 64-bit precision and rounding to nearest for the long double conversions, every
// exception masked (the conversions check their results and raise EConvertError themselves).
// Decimal separator: from the system default locale on Win32, "." on POSIX.
void InitHostServices();

// The program's own path, "\" form. Win32: in the system code page, in its short form where
// the long one has characters the code page lacks; empty where neither can name it.
std::string ModuleFileName();
// Ends in "\"; empty when it cannot be had (on Win32 named as ModuleFileName is). POSIX:
// $TMPDIR in internal form, or "\tmp\" when it is unset or empty.
std::string TempDirectory();
std::string WindowsDirectory();   // without trailing "\"; empty where there is none
std::string SystemDirectory();    // likewise
// The nine decimal digits that give the archive's offset in the program file:
// string resource 1 on Win32, the embedded digits block on POSIX.
std::string ArchiveOffsetText();
// Fills `buffer` from the system's source of random bytes; false when it fails.
bool RandomBytes(void* buffer, size_t count);

// How a run ends when it does not end with the started program's own exit code.
enum class StubEnding { Complete, Cancelled, Damaged, WriteFailed, NoSpace, NotStarted };
// The exit code of each ending, in the platform's conventions; Complete is 0.
int ExitCodeOf(StubEnding ending);

// Shows the top-level error report for a failure nothing caught and ends the process with
// exit code 1: a task-modal message box "Anwendungsfehler" on Win32, the same text (in UTF-8)
// on standard error on POSIX.
[[noreturn]] void ReportFatalError(const Exception& failure);

// Converts between the internal "\" form and the platform's own form of a path: "\" and "/"
// swap places on POSIX; Win32 paths are already in internal form.
std::string NativePath(const std::string& path);
std::string InternalPath(const std::string& nativePath);
