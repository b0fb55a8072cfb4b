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
bool LaunchCommand(const std::string& commandLine, bool hidden, bool wait);

// The POSIX layer's word splitting, exposed for its tests (POSIX build only).
std::vector<std::string> SplitCommandWords(const std::string& commandLine);
