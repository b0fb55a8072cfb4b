// Starting the configured program once the archive has been unpacked.
#pragma once

#include <string>
#include <vector>

// Starts commandLine as a new process; with wait, returns only when it has ended. Returns
// whether the process was created; a program that cannot be started is reported by the result
// alone, never by a message or a failure.
//
// Win32: CreateProcessA with no application name, so Windows splits program and arguments by
// its own rules. POSIX: the words are split as a shell would (double and single quotes, \"
// for a quote) but without any expansion, and each word is turned into the native path form,
// because the placeholders expand to internal "\" paths; hidden has no meaning there.
//
// With passArguments, the stub's own arguments follow the command line after a blank: on Win32
// the text of its command line after its program name, exactly as it came (quotes and all);
// natively each argument as a word of its own, unchanged. With waitForAll, waiting lasts until
// every process the program started has ended too (Win32: the processes of a job object;
// natively: every descendant, the stub being their reaper). Where that cannot be had (an
// elevated start, a system without nested jobs), only the program is waited for.
struct TLaunch {
  bool hidden = false;
  bool wait = true;
  bool passArguments = false;
  bool waitForAll = false;
};

// With wait, `exitCode` receives the program's exit code (natively its exit status, or 128 + n
// for a program ended by signal n).
bool LaunchCommand(const std::string& commandLine, const TLaunch& how, int& exitCode);

inline bool LaunchCommand(const std::string& commandLine, bool hidden, bool wait) {
  int exitCode = 0;
  return LaunchCommand(commandLine, TLaunch{hidden, wait}, exitCode);
}

// POSIX: keeps the stub's own arguments, as main received them, for passArguments.
void KeepProgramArguments(int argc, char** argv);

// The POSIX layer's word splitting, exposed for its tests (POSIX build only).
std::vector<std::string> SplitCommandWords(const std::string& commandLine);
