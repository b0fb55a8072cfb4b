// Process-level platform services: the program's own path, the system's folders, the archive
// offset text, start-up settings and the top-level error report. One implementation each in
// host/win32 and host/posix.
#pragma once

#include <string>

#include "host/exceptions.h"

// FPU mode (64-bit precision, round to nearest, invalid/zero-divide/overflow trapping where the
// platform supports it) and the decimal separator from the system default locale.
void InitHostServices();

std::string ModuleFileName();     // the program's own path, "\" form
std::string TempDirectory();      // ends in "\"
std::string WindowsDirectory();   // without trailing "\"; empty where there is none
std::string SystemDirectory();    // likewise
// The nine decimal digits that give the archive's offset in the program file:
// string resource 1 on Win32, the embedded digits block on POSIX.
std::string ArchiveOffsetText();

// Shows the top-level error report for a failure nothing caught and ends the process with
// exit code 1.
[[noreturn]] void ReportFatalError(const Exception& failure);

// Converts between the internal "\" form and the platform's own form of a path.
std::string NativePath(const std::string& path);
std::string InternalPath(const std::string& nativePath);
