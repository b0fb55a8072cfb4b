// Text-file lines, used for the delete list: CR LF line ends, a 128-byte transfer buffer,
// Ctrl-Z as end of file, names cut to 259 characters. Every failure raises EInOutError.
#pragma once

#include <string>

#include "host/files.h"

class TextFile {
 public:
  TextFile() = default;
  ~TextFile();  // closes without raising
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Create(const std::string& path);  // CreateTextFile
  void Open(const std::string& path);    // OpenTextFile
  void WriteLine(const std::string& text);
  bool AtEnd();
  std::string ReadLine();
  void Close();

 private:
  enum class State { Closed, Reading, Writing };
  bool FillBuffer();  // false at end of file
  void FlushBuffer();

  State state_ = State::Closed;
  FileHandle handle_ = kInvalidHandle;
  char buffer_[128];
  int bufferPos_ = 0;
  int bufferEnd_ = 0;
};
