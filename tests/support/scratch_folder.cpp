#include "tests/support/scratch_folder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/platform.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static int counter = 0;
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  root_ = (fs::temp_directory_path() /
           ("sfx-test-" + std::to_string(ticks % 1000000007) + "-" + std::to_string(++counter))).string();
  fs::remove_all(root_);
  fs::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root_, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(root_, error);
}

std::string ScratchFolder::Path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string ScratchFolder::Internal(const std::string& relative) const {
  return InternalPath(root_) + "\\" + relative;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string text = ReadText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start) + kNoLineEnd);
  return lines;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}
