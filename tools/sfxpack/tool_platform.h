// What sfxpack needs of the operating system beyond the host services: file facts for the
// members, the terminal, private temporary files and safe creation of extracted files.
// Paths here are in the platform's own form ("/" on POSIX).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct TSourceFileInfo {
  uint64_t size = 0;
  bool readOnly = false;    // no write permission for the owner
  long double dateTime = 0; // modification time as a local day count since 1899-12-30
};

bool ReadSourceFileInfo(const std::string& path, TSourceFileInfo& info);

long double CurrentDateTime();  // now, as a local day count

bool StderrIsTerminal();
int TerminalColumns();  // 80 when unknown

// The folder holding the running sfxpack, without trailing separator; empty if unknown.
std::string ExecutableDirectory();

// Creates a new file with a unique name in `folder`, readable and writable by the owner
// only, and opens it for writing. nullptr (errno set) on failure.
std::FILE* CreateTemporaryFile(const std::string& folder, std::string& path);

// While set, an interrupt (Ctrl-C, SIGTERM, hang-up) removes this file before the process ends,
// so that an interrupted run leaves no temporary file behind. Empty: nothing to remove.
void RemoveOnInterrupt(const std::string& path);

// Gives a finished output file the mode a linker would: executable, less the umask.
bool MakeExecutable(const std::string& path);

// Creates a file that must not exist yet, without following a symbolic link in its place.
// nullptr (errno set) on failure.
std::FILE* CreateNewFile(const std::string& path);

// True when the path exists as a symbolic link (which is not followed).
bool IsSymbolicLink(const std::string& path);

// The text of the last system error (errno).
std::string LastSystemErrorText();
