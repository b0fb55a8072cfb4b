// The program's entry: progress window, unpacking, the configured program, clean-up.
#pragma once

#include <string>

// Unpacks the appended archive into the temporary folder, starts the configured program and
// waits for it, then deletes every file the delete list names and the list itself. Returns the
// program's exit code, or ExitCodeOf the way the run ended without one (0 for a complete run
// that starts nothing); a failure that nothing caught ends the process through the top-level
// error report with exit code 1 instead.
int RunSelfExtractor();

// The clean-up: deletes each file that a line of the list names, then the list. Deletions that
// fail (a file already gone, still in use, an empty line) are skipped silently; a list that
// cannot be opened or read raises EInOutError.
void RemoveListedFiles(const std::string& listPath);
// Deletes one unpacked file, read-only or not; a failure is skipped silently.
void RemoveMember(const std::string& path);
