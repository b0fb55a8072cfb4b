// A fresh folder below the system's temporary folder for the tests that use the real disk, and
// whole files read and written through the standard library (not the services under test).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();  // removes it with everything in it, read-only files too
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The platform's own form of the folder or of a path below it.
  std::string Path(const std::string& relative = "") const;
  // The form the host's services take ("\" separators); the folder's own ends in "\".
  std::string Internal(const std::string& relative = "") const;

 private:
  std::string root_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);  // makes the parents
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);  // empty when it cannot be read
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);  // a dangling symbolic link exists, too
// A file's CR LF lines, as the delete list holds them; a last line without its line end comes
// with kNoLineEnd appended.
constexpr char kNoLineEnd[] = "<no line end>";
std::vector<std::string> ReadLines(const std::string& path);
