#include "tools/sfxpack/packing/source_tree.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/packing/member_selection.h"

namespace fs = std::filesystem;

namespace {

bool IsOutput(const fs::path& path, const std::string& output) {
  std::error_code error;
  return !output.empty() && fs::equivalent(path, fs::u8path(output), error) && !error;
}

std::string Joined(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? name : prefix + "/" + name;
}

// An archive holds files only: a folder without any is recreated by nothing, which its owner
// should hear about rather than find out on the target system.
void NoteIfEmpty(const fs::path& folder, TSourceScan& scan) {
  std::error_code error;
  if (fs::is_empty(folder, error) && !error) scan.warnings.push_back("empty folder not packed: " + folder.u8string());
}

void AddFile(const fs::path& path, const std::string& name, const TSourceSelection& selection,
             std::vector<TSourceFile>& found) {
  if (IsOutput(path, selection.output) || IsExcludedName(selection.excludes, name)) return;
  const std::string stored = StoredNameOf(name);
  if (stored.empty()) FailOnFile(path.u8string(), "a name holding \"\\\" cannot be stored");
  found.push_back({path.u8string(), stored, std::string()});
}

// The folder's files, named `prefix`/their path below it.
void AddFolder(const fs::path& root, const std::string& prefix, const TSourceSelection& selection,
               TSourceScan& scan) {
  std::vector<TSourceFile> found;
  std::error_code error;
  fs::recursive_directory_iterator walk(root, fs::directory_options::none, error);
  if (error) FailOnFile(root.u8string(), "cannot read the folder: " + error.message());
  NoteIfEmpty(root, scan);
  for (const fs::recursive_directory_iterator end; walk != end; walk.increment(error)) {
    if (error) break;
    const fs::directory_entry& entry = *walk;
    const fs::path& path = entry.path();
    const std::string name = Joined(prefix, path.lexically_relative(root).generic_u8string());
    std::error_code statusError;
    const fs::file_status status = entry.status(statusError);
    if (fs::is_directory(status)) {
      // The walk does not enter linked folders, which could lead it in a circle.
      if (IsExcludedName(selection.excludes, name)) {
        walk.disable_recursion_pending();
      } else if (entry.is_symlink(statusError)) {
        scan.warnings.push_back(path.u8string() + ": link to a folder left out");
      } else {
        NoteIfEmpty(path, scan);
      }
    } else if (fs::is_regular_file(status)) {
      AddFile(path, name, selection, found);
    } else if (!IsExcludedName(selection.excludes, name)) {
      scan.warnings.push_back(path.u8string() + ": neither a file nor a folder, left out");
    }
  }
  if (error) FailOnFile(root.u8string(), "cannot read the folder: " + error.message());
  std::sort(found.begin(), found.end(), [](const TSourceFile& a, const TSourceFile& b) {
    return a.storedName < b.storedName;
  });
  scan.files.insert(scan.files.end(), found.begin(), found.end());
}

fs::path Located(const TSourceSelection& selection, const std::string& given) {
  const fs::path path = fs::u8path(given);
  return selection.baseFolder.empty() || path.is_absolute() ? path : fs::u8path(selection.baseFolder) / path;
}

// A folder's members are named `folderPrefix`/their path below it; a file's `fileName`.
void AddPath(const TSourceSelection& selection, const std::string& given, const std::string& folderPrefix,
             const std::string& fileName, TSourceScan& scan) {
  const fs::path path = Located(selection, given);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) {
    AddFolder(path, folderPrefix, selection, scan);
  } else if (fs::is_regular_file(status)) {
    AddFile(path, fileName, selection, scan.files);
  } else if (fs::exists(status)) {
    FailOnFile(path.u8string(), "neither a file nor a folder");
  } else {
    FailOnFile(path.u8string(), error ? error.message() : "no such file or folder");
  }
}

// A listed path as the member name it gives: relative, "./" and "x/../" resolved; "" for the
// folder itself.
std::string ListedName(const TSourceSelection& selection, const std::string& line) {
  const fs::path normal = fs::u8path(line).lexically_normal();
  std::string name = normal.generic_u8string();
  if (normal.has_root_name() || normal.has_root_directory() || name == ".." || name.rfind("../", 0) == 0) {
    FailOnFile(selection.listName, "\"" + line + "\" does not name a member: give paths relative to the folder "
                                   "the list is read from (-C DIR, else the current folder)");
  }
  if (!name.empty() && name.back() == '/') name.pop_back();
  return name == "." ? std::string() : name;
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

TSourceScan CollectSourceFiles(const TSourceSelection& selection) {
  TSourceScan scan;
  for (const std::string& given : selection.paths) {
    AddPath(selection, given, std::string(), fs::u8path(given).filename().u8string(), scan);
  }
  for (const std::string& line : selection.listed) {
    const std::string name = ListedName(selection, line);
    if (name.empty() || !IsExcludedName(selection.excludes, name)) {
      AddPath(selection, name.empty() ? "." : name, name, name, scan);
    }
  }
  // A list such as find's output names folders and then their files once more: one member.
  std::set<std::pair<std::string, std::string>> seen;
  scan.files.erase(std::remove_if(scan.files.begin(), scan.files.end(), [&seen](const TSourceFile& file) {
                     return !seen.insert({fs::u8path(file.path).lexically_normal().u8string(), file.storedName}).second;
                   }), scan.files.end());
  return scan;
}
