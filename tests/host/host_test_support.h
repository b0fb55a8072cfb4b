// Shared by the host tests: a scratch folder, whole-file helpers, and the platform's own view
// of a file's time and read-only state, so the services are checked against something else.
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

void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);  // "<missing>" when it cannot be opened

// Implemented per platform (tests/host/posix, tests/host/win32).
uint32_t LastWriteDosStamp(const std::string& path);  // local time; 0 when it cannot be read
bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second);
bool IsReadOnly(const std::string& path);
void RemoveTree(const std::string& path);
