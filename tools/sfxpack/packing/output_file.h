// An output file that appears under its name only when it is complete: the bytes go to a
// temporary file in the same folder, which Commit renames over the target. A run that fails
// or is interrupted before Commit leaves no half-written file behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class AtomicOutputFile {
 public:
  explicit AtomicOutputFile(const std::string& path);  // raises EPackError
  ~AtomicOutputFile();                                 // removes the temporary file
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  void Write(const uint8_t* data, size_t size);  // raises EPackError
  void Flush();                                  // so the bytes can be read back
  // Flushes, gives the file an executable mode and renames it to the target.
  void Commit();
  const std::string& TemporaryPath() const { return temporaryPath_; }

 private:
  void Fail(const std::string& reason);

  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// Folder part of a native path ("." when there is none).
std::string FolderOfNativePath(const std::string& path);
