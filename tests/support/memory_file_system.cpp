#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters Windows refuses in a file name. The wildcards are let through for the
// directory search, which takes the path as a pattern.
bool IsForbiddenInName(char c, bool allowWildcards) {
  auto u = static_cast<unsigned char>(c);
  if (u < 32) return true;
  if (c == '*' || c == '?') return !allowWildcards;
  return std::strchr("<>:\"|", c) != nullptr;
}

bool Matches(const char* pattern, const char* name) {
  for (; *pattern; ++pattern, ++name) {
    if (*pattern == '*') {
      for (const char* rest = name;; ++rest) {
        if (Matches(pattern + 1, rest)) return true;
        if (!*rest) return false;
      }
    }
    if (!*name) return false;
    if (*pattern != '?' && UpperChar(*pattern) != UpperChar(*name)) return false;
  }
  return *name == 0;
}

bool ResolveImpl(const std::string& path, bool allowWildcards, std::string& resolved, int& error) {
  std::string root = "C:";
  size_t i = 0;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    root = path.substr(0, 2);
    i = 2;
  } else if (!path.empty() && IsSeparator(path[0])) {
    root.clear();  // the root of the current drive, which the POSIX build's paths look like
  }
  if (path.empty()) {
    error = kErrorPathNotFound;
    return false;
  }
  std::vector<std::string> parts;
  while (i <= path.size()) {
    size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::string part = path.substr(i, end - i);
    i = end + 1;
    const bool mentionsParent = part.find("..") != std::string::npos;
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    // Windows drops trailing dots and blanks; a component left empty that spelled ".." in
    // some way (".. ", "...") is taken as the parent, the reading that lets a path escape.
    if (part.empty() && mentionsParent) {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    if (part.empty()) continue;
    for (char c : part) {
      if (IsForbiddenInName(c, allowWildcards)) {
        error = kErrorInvalidName;
        return false;
      }
    }
    if (part.size() > 255) {
      error = kErrorFilenameTooLong;
      return false;
    }
    parts.push_back(part);
  }
  resolved = root + "\\";
  for (size_t k = 0; k < parts.size(); ++k) resolved += (k ? "\\" : "") + parts[k];
  if (resolved.size() > 259) {
    error = kErrorFilenameTooLong;
    return false;
  }
  return true;
}

std::string ParentOf(const std::string& resolved) {
  size_t slash = resolved.find_last_of('\\');
  return resolved.substr(0, slash == std::string::npos ? 0 : slash);
}

bool IsRoot(const std::string& resolved) { return resolved == "\\" || (resolved.size() == 3 && resolved[1] == ':'); }

bool ValidStamp(uint32_t stamp) {
  unsigned date = stamp >> 16, time = stamp & 0xFFFF;
  unsigned day = date & 31, month = (date >> 5) & 15, year = (date >> 9) + 1980;
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  return (time & 31) <= 29 && ((time >> 5) & 63) <= 59 && (time >> 11) <= 23;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() = default;

bool MemoryFileSystem::Resolve(const std::string& path, std::string& resolved, int& error) {
  return ResolveImpl(path, false, resolved, error);
}

std::string MemoryFileSystem::KeyOf(const std::string& resolved) {
  std::string key = resolved;
  for (char& c : key) c = UpperChar(c);
  if (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

bool MemoryFileSystem::IsBelow(const std::string& path, const std::string& directory) {
  std::string p, d;
  int error = 0;
  if (!Resolve(path, p, error) || !Resolve(directory, d, error)) return false;
  p = KeyOf(p);
  d = KeyOf(d);
  if (d.back() != '\\') d += '\\';
  return p.size() > d.size() && p.compare(0, d.size(), d) == 0;
}

bool MemoryFileSystem::Fail(int error) {
  lastError_ = error;
  return false;
}

bool MemoryFileSystem::ResolveForUse(const std::string& path, std::string& resolved, std::string& key) {
  int error = 0;
  if (!ResolveImpl(path, false, resolved, error)) return Fail(error);
  key = KeyOf(resolved);
  return true;
}

bool MemoryFileSystem::ParentExists(const std::string& resolved) const {
  std::string parent = ParentOf(resolved);
  if (parent.empty() || IsRoot(parent + "\\")) return true;
  return directories_.count(KeyOf(parent)) != 0;
}

bool MemoryFileSystem::SharingAllows(const std::string& key, bool read, bool write, bool shareRead,
                                     bool shareWrite) const {
  for (const auto& entry : handles_) {
    const Handle& h = entry.second;
    if (h.key != key) continue;
    if ((read && !h.shareRead) || (write && !h.shareWrite)) return false;
    if ((h.canRead && !shareRead) || (h.canWrite && !shareWrite)) return false;
  }
  return true;
}

FileHandle MemoryFileSystem::NewHandle(const std::string& key, bool read, bool write, bool shareRead,
                                       bool shareWrite) {
  FileHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{key, read, write, shareRead, shareWrite, 0};
  return handle;
}

MemoryFileSystem::Handle* MemoryFileSystem::FindHandle(FileHandle handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

FileHandle MemoryFileSystem::OpenExisting(const std::string& path, int mode) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return kInvalidHandle;
  int access = mode & 3;
  int share = (mode >> 4) & 15;
  bool read = access == 0 || access == 2;
  bool write = access == 1 || access == 2;
  bool shareRead = share == 2 || share == 4;
  bool shareWrite = share == 3 || share == 4;
  if (access == 3 || share > 4) return Fail(kErrorInvalidParameter), kInvalidHandle;
  if (directories_.count(key) || IsRoot(resolved)) return Fail(kErrorAccessDenied), kInvalidHandle;
  auto it = files_.find(key);
  if (it == files_.end()) {
    Fail(ParentExists(resolved) ? kErrorFileNotFound : kErrorPathNotFound);
    return kInvalidHandle;
  }
  if (write && (it->second.attributes & kAttrReadOnly)) return Fail(kErrorAccessDenied), kInvalidHandle;
  if (!SharingAllows(key, read, write, shareRead, shareWrite)) {
    return Fail(kErrorSharingViolation), kInvalidHandle;
  }
  return NewHandle(key, read, write, shareRead, shareWrite);
}

FileHandle MemoryFileSystem::CreateAlways(const std::string& path, bool read, bool shareRead) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return kInvalidHandle;
  if (directories_.count(key) || IsRoot(resolved)) return Fail(kErrorAccessDenied), kInvalidHandle;
  if (!ParentExists(resolved)) return Fail(kErrorPathNotFound), kInvalidHandle;
  auto it = files_.find(key);
  if (it != files_.end()) {
    // CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL refuses read-only, hidden and system files.
    if (it->second.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) {
      return Fail(kErrorAccessDenied), kInvalidHandle;
    }
  }
  if (!SharingAllows(key, read, true, shareRead, false)) return Fail(kErrorSharingViolation), kInvalidHandle;
  File& file = files_[key];
  if (file.path.empty()) file.path = resolved;
  file.bytes.clear();
  file.attributes = kAttrArchive;
  file.stamp = kMemoryFsClockStamp;
  Log(FsChange::CreateFile, file.path);
  return NewHandle(key, read, true, shareRead, false);
}

FileHandle MemoryFileSystem::CreateEmpty(const std::string& path) { return CreateAlways(path, true, false); }

FileHandle MemoryFileSystem::CreateForText(const std::string& path) { return CreateAlways(path, false, true); }

int32_t MemoryFileSystem::Read(FileHandle handle, void* buffer, int32_t count) {
  Handle* h = FindHandle(handle);
  if (!h) return Fail(kErrorInvalidHandle), -1;
  if (!h->canRead) return Fail(kErrorAccessDenied), -1;
  if (count < 0) return Fail(kErrorInvalidParameter), -1;
  const std::vector<uint8_t>& bytes = files_[h->key].bytes;
  int64_t available = std::max<int64_t>(0, static_cast<int64_t>(bytes.size()) - h->position);
  int32_t n = static_cast<int32_t>(std::min<int64_t>(count, available));
  if (n > 0) std::memcpy(buffer, bytes.data() + h->position, n);
  h->position += n;
  return n;
}

size_t MemoryFileSystem::UsedBytes() const {
  size_t used = 0;
  for (const auto& entry : files_) used += entry.second.bytes.size();
  return used;
}

int32_t MemoryFileSystem::Write(FileHandle handle, const void* buffer, int32_t count) {
  Handle* h = FindHandle(handle);
  if (!h) return Fail(kErrorInvalidHandle), -1;
  if (!h->canWrite) return Fail(kErrorAccessDenied), -1;
  if (count < 0) return Fail(kErrorInvalidParameter), -1;
  File& file = files_[h->key];
  size_t end = static_cast<size_t>(h->position) + static_cast<size_t>(count);
  size_t growth = end > file.bytes.size() ? end - file.bytes.size() : 0;
  if (growth && (capacity_ == SIZE_MAX ? false : UsedBytes() + growth > capacity_)) {
    return Fail(kErrorWindowsDiskFull), -1;
  }
  if (end > file.bytes.size()) file.bytes.resize(end);
  if (count > 0) std::memcpy(file.bytes.data() + h->position, buffer, count);
  h->position = static_cast<int64_t>(end);
  file.stamp = kMemoryFsClockStamp;
  if (events_.empty() || events_.back().change != FsChange::WriteFile || events_.back().path != file.path) {
    Log(FsChange::WriteFile, file.path);
  }
  return count;
}

int32_t MemoryFileSystem::Seek(FileHandle handle, int32_t offset, int origin) {
  Handle* h = FindHandle(handle);
  if (!h) return Fail(kErrorInvalidHandle), -1;
  int64_t base = 0;
  if (origin == 1) {
    base = h->position;
  } else if (origin == 2) {
    base = static_cast<int64_t>(files_[h->key].bytes.size());
  } else if (origin != 0) {
    return Fail(kErrorInvalidParameter), -1;
  }
  int64_t position = base + offset;
  if (position < 0) return Fail(kErrorNegativeSeek), -1;
  if (position > INT32_MAX) return Fail(kErrorInvalidParameter), -1;
  h->position = position;
  return static_cast<int32_t>(position);
}

bool MemoryFileSystem::Close(FileHandle handle) {
  if (!handles_.erase(handle)) return Fail(kErrorInvalidHandle);
  return true;
}

bool MemoryFileSystem::IsPresent(const std::string& path) {
  std::string resolved;
  int error = 0;
  if (!ResolveImpl(path, true, resolved, error)) return Fail(error);
  std::string key = KeyOf(resolved);
  std::string parent = KeyOf(ParentOf(resolved));
  std::string pattern = key.substr(key.find_last_of('\\') + 1);
  for (const auto& entry : files_) {
    const std::string& candidate = entry.first;
    size_t slash = candidate.find_last_of('\\');
    if (candidate.substr(0, slash) != parent) continue;
    if (Matches(pattern.c_str(), candidate.c_str() + slash + 1)) {
      if (entry.second.stamp != 0) return true;
    }
  }
  return Fail(kErrorFileNotFound);
}

bool MemoryFileSystem::IsDirectory(const std::string& path) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return false;
  if (IsRoot(resolved) || directories_.count(key)) return true;
  return files_.count(key) ? false : Fail(ParentExists(resolved) ? kErrorFileNotFound : kErrorPathNotFound);
}

bool MemoryFileSystem::MakeDirectory(const std::string& path) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return false;
  if (IsRoot(resolved) || directories_.count(key) || files_.count(key)) return Fail(kErrorAlreadyExists);
  if (!ParentExists(resolved)) return Fail(kErrorPathNotFound);
  directories_[key] = resolved;
  Log(FsChange::MakeDirectory, resolved);
  return true;
}

bool MemoryFileSystem::Remove(const std::string& path) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return false;
  if (IsRoot(resolved) || directories_.count(key)) return Fail(kErrorAccessDenied);
  auto it = files_.find(key);
  if (it == files_.end()) return Fail(ParentExists(resolved) ? kErrorFileNotFound : kErrorPathNotFound);
  if (it->second.attributes & kAttrReadOnly) return Fail(kErrorAccessDenied);
  for (const auto& entry : handles_) {
    if (entry.second.key == key) return Fail(kErrorSharingViolation);
  }
  Log(FsChange::RemoveFile, it->second.path);
  files_.erase(it);
  return true;
}

int MemoryFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  std::string resolved, key;
  if (!ResolveForUse(path, resolved, key)) return lastError_;
  const uint32_t settable = 0x31A7;  // read-only, hidden, system, archive, normal, temporary, ...
  uint32_t value = attributes & settable;
  if (directories_.count(key) || IsRoot(resolved)) {
    Log(FsChange::SetAttributes, resolved);
    return 0;
  }
  auto it = files_.find(key);
  if (it == files_.end()) {
    Fail(ParentExists(resolved) ? kErrorFileNotFound : kErrorPathNotFound);
    return lastError_;
  }
  it->second.attributes = value == 0 ? kAttrNormal : value;
  Log(FsChange::SetAttributes, it->second.path);
  return 0;
}

int MemoryFileSystem::SetStamp(FileHandle handle, uint32_t dosStamp) {
  Handle* h = FindHandle(handle);
  if (!h) return Fail(kErrorInvalidHandle), lastError_;
  if (!h->canWrite) return Fail(kErrorAccessDenied), lastError_;
  if (!ValidStamp(dosStamp)) return Fail(kErrorInvalidParameter), lastError_;
  File& file = files_[h->key];
  file.stamp = dosStamp;
  Log(FsChange::SetStamp, file.path);
  return 0;
}

void MemoryFileSystem::AddDirectory(const std::string& path) {
  std::string resolved;
  int error = 0;
  if (!Resolve(path, resolved, error) || IsRoot(resolved)) return;
  AddDirectory(ParentOf(resolved) + "\\");
  directories_[KeyOf(resolved)] = resolved;
}

void MemoryFileSystem::AddFile(const std::string& path, std::vector<uint8_t> bytes, uint32_t attributes,
                               uint32_t stamp) {
  std::string resolved;
  int error = 0;
  if (!Resolve(path, resolved, error)) return;
  AddDirectory(ParentOf(resolved) + "\\");
  files_[KeyOf(resolved)] = File{resolved, std::move(bytes), attributes, stamp};
}

void MemoryFileSystem::AddFile(const std::string& path, const std::string& text) {
  AddFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

const MemoryFileSystem::File* MemoryFileSystem::FindFile(const std::string& path) const {
  std::string resolved;
  int error = 0;
  if (!Resolve(path, resolved, error)) return nullptr;
  auto it = files_.find(KeyOf(resolved));
  return it == files_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::HasFile(const std::string& path) const { return FindFile(path) != nullptr; }

bool MemoryFileSystem::HasDirectory(const std::string& path) const {
  std::string resolved;
  int error = 0;
  if (!Resolve(path, resolved, error)) return false;
  return IsRoot(resolved) || directories_.count(KeyOf(resolved)) != 0;
}

std::string MemoryFileSystem::FileText(const std::string& path) const {
  const File* file = FindFile(path);
  return file ? std::string(file->bytes.begin(), file->bytes.end()) : std::string();
}

std::vector<std::string> MemoryFileSystem::ChangesOutside(const std::string& directory) const {
  std::set<std::string> outside;
  for (const FsEvent& event : events_) {
    if (!IsBelow(event.path, directory)) outside.insert(event.path);
  }
  return {outside.begin(), outside.end()};
}
