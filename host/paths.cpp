#include "host/paths.h"

namespace {

// Names and extensions handed to the platform are at most 255 characters.
constexpr size_t kNameLimit = 255;

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const size_t split = path.find_last_of("\\:");
  return split == std::string::npos ? std::string() : path.substr(0, split + 1);
}

std::string FileNameOf(const std::string& path) {
  const size_t split = path.find_last_of("\\:");
  const size_t start = split == std::string::npos ? 0 : split + 1;
  return path.substr(start, kNameLimit);
}

std::string ExtensionOf(const std::string& path) {
  const size_t found = path.find_last_of(".\\:");
  if (found == std::string::npos || path[found] != '.') return std::string();
  return path.substr(found, kNameLimit);
}

std::string WithBackslash(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}
