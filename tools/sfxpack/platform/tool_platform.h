// What sfxpack needs of the operating system beyond the host services: file facts for the
// members, the terminal, private temporary files, safe creation of extracted files and text
// conversion. Paths here are in the platform's own form ("/" on POSIX, either on Windows) and,
// like all text inside the tool, in UTF-8; std::filesystem paths are made with u8path and read
// with u8string for the same reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Once at the start: on Windows the host file services are switched to UTF-8 paths and the
// console to UTF-8 output; nothing to do on POSIX.
void InitToolPlatform();

// The command's words after the program name, in UTF-8 (on Windows from the wide command
// line, not the ANSI `argv`).
std::vector<std::string> ToolArguments(int argc, char** argv);

// An environment variable's value in UTF-8; empty when it is not set.
std::string EnvironmentValue(const char* name);

// Converts between UTF-8 and the Windows code page `codePage` (not 65001). False when the
// input is not valid text in its encoding or a character has no counterpart in the other.
bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& converted);
bool ConvertToUtf8(const std::string& text, int codePage, std::string& utf8);

// Opens an existing file for binary reading; nullptr (errno set) on failure.
std::FILE* OpenFileForReading(const std::string& path);

struct TSourceFileInfo {
  uint64_t size = 0;
  bool readOnly = false;    // no write permission for the owner
  long double dateTime = 0; // modification time as a local day count since 1899-12-30
  long long unixTime = 0;   // the same in whole seconds since 1970 (UTC)
};

bool ReadSourceFileInfo(const std::string& path, TSourceFileInfo& info);

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

// Renames `from` to `to` in one step, replacing a file there. False (errno set) on failure.
bool MoveIntoPlace(const std::string& from, const std::string& to);

// Creates a file that must not exist yet, without following a symbolic link in its place.
// nullptr (errno set) on failure.
std::FILE* CreateNewFile(const std::string& path);

// True when the path exists as a symbolic link (which is not followed).
bool IsSymbolicLink(const std::string& path);

// The text of the last system error (errno; the Windows layer maps its failures there).
std::string LastSystemErrorText();

// A whole input file in memory, behind a writable prefix that the caller fills, so that a
// parser can read prefix and file as one piece without the file being read into the heap:
// the pages are the system's file cache, and those the reader has passed can be dropped.
// "-" maps standard input, which is first copied to a temporary file (removed at once).
class MappedInput {
 public:
  MappedInput(const std::string& path, size_t prefixSize);  // raises EPackError
  ~MappedInput();
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;

  uint8_t* Prefix() { return text_; }
  const uint8_t* Text() const { return text_; }
  size_t TextSize() const { return prefixSize_ + fileSize_; }
  uint64_t FileSize() const { return fileSize_; }
  // The text before `position` leaves memory; a later read finds it in the file again.
  void Release(size_t position);

 private:
  uint8_t* area_ = nullptr;
  size_t areaSize_ = 0;
  uint8_t* text_ = nullptr;
  size_t prefixSize_;
  size_t fileSize_ = 0;
  size_t released_ = 0;
};
