// The Win32 side of starting a program that asks for administrator rights (host/elevation.h).
#pragma once

#include <windows.h>

#include <string>

// After CreateProcessA failed with `error`: when it was ERROR_ELEVATION_REQUIRED, starts the
// command through the shell with the verb "runas" and waits for it like a created process.
// Returns whether the program was started; a refused consent prompt is a failure to start.
bool LaunchElevatedIfRequired(DWORD error, const std::string& commandLine, bool hidden,
                              bool wait, int& exitCode);
