#include "tools/sfxpack/source_tree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "tools/sfxpack/errors.h"

namespace fs = std::filesystem;

namespace {

bool IsExcluded(const fs::path& path, const std::string& excluded) {
  std::error_code error;
  return !excluded.empty() && fs::equivalent(path, fs::u8path(excluded), error) && !error;
}

void AddFolder(const fs::path& root, const std::string& excluded, TSourceScan& scan) {
  std::vector<TSourceFile> found;
  std::error_code error;
  fs::recursive_directory_iterator walk(root, fs::directory_options::none, error);
  if (error) FailOnFile(root.u8string(), "cannot read the folder: " + error.message());
  for (const fs::recursive_directory_iterator end; walk != end; walk.increment(error)) {
    if (error) break;
    const fs::directory_entry& entry = *walk;
    const fs::path& path = entry.path();
    std::error_code statusError;
    const fs::file_status status = entry.status(statusError);
    if (fs::is_directory(status)) {
      // The walk does not enter linked folders, which could lead it in a circle.
      if (entry.is_symlink(statusError)) {
        scan.warnings.push_back(path.u8string() + ": link to a folder left out");
      }
      continue;
    }
    if (!fs::is_regular_file(status)) {
      scan.warnings.push_back(path.u8string() + ": neither a file nor a folder, left out");
      continue;
    }
    if (IsExcluded(path, excluded)) continue;
    const std::string stored = StoredNameOf(path.lexically_relative(root).generic_u8string());
    if (stored.empty()) FailOnFile(path.u8string(), "a name holding \"\\\" cannot be stored");
    found.push_back({path.u8string(), stored, std::string()});
  }
  if (error) FailOnFile(root.u8string(), "cannot read the folder: " + error.message());
  std::sort(found.begin(), found.end(), [](const TSourceFile& a, const TSourceFile& b) {
    return a.storedName < b.storedName;
  });
  scan.files.insert(scan.files.end(), found.begin(), found.end());
}

}  // namespace

std::string StoredNameOf(const std::string& relativePath) {
  std::string stored;
  for (char c : relativePath) {
    if (c == '\\') return std::string();
    stored.push_back(c == '/' ? '\\' : c);
  }
  return stored;
}

TSourceScan CollectSourceFiles(const std::vector<std::string>& paths, const std::string& excluded) {
  TSourceScan scan;
  for (const std::string& given : paths) {
    std::error_code error;
    const fs::file_status status = fs::status(fs::u8path(given), error);
    if (fs::is_directory(status)) {
      AddFolder(fs::u8path(given), excluded, scan);
    } else if (fs::is_regular_file(status)) {
      if (IsExcluded(fs::u8path(given), excluded)) continue;
      const std::string stored = StoredNameOf(fs::u8path(given).filename().u8string());
      if (stored.empty()) FailOnFile(given, "a name holding \"\\\" cannot be stored");
      scan.files.push_back({given, stored, std::string()});
    } else if (fs::exists(status)) {
      FailOnFile(given, "neither a file nor a folder");
    } else {
      FailOnFile(given, error ? error.message() : "no such file or folder");
    }
  }
  return scan;
}
