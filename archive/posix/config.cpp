#include "archive/config.h"

#include "host/files.h"

namespace {

// The whole file through the current file system; empty when it cannot be opened.
std::string FileContent(const std::string& path) {
  const FileHandle file = OpenExistingFile(path, kModeReadShared);
  if (file == kInvalidHandle) return std::string();
  std::string content;
  char chunk[4096];
  for (;;) {
    const int32_t got = ReadFileBytes(file, chunk, sizeof chunk);
    if (got <= 0) break;
    content.append(chunk, static_cast<size_t>(got));
  }
  CloseFileHandle(file);
  return content;
}

}  // namespace

std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& defaultValue, const std::string& file) {
  return ProfileValue(FileContent(file.substr(0, kConfigArgumentLimit)), section, key, defaultValue);
}
