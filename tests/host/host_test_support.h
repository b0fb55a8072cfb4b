// Shared by the host tests: a scratch folder in the system's temporary directory, and the
// platform's own view of a file's time and read-only state, so that the services can be
// checked against something other than themselves.
#pragma once

#include <cstdint>
#include <string>

// A fresh, empty folder below TempDirectory(), removed with its contents at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& Path() const { return path_; }  // ends in "\"
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Writes bytes to a new file through the file services.
void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);

// Implemented per platform (tests/host/posix, tests/host/win32).
uint32_t LastWriteDosStamp(const std::string& path);  // local time; 0 when it cannot be read
// Sets the last-write time to the given local date and time.
bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second);
bool IsReadOnly(const std::string& path);
void RemoveTree(const std::string& path);
