#include "tests/support/faulty_file_system.h"

#include <cstring>
#include <set>

const char* FsCallName(FsCall kind) {
  static const char* const kNames[kFsCallKinds] = {"create", "open",   "write",         "read",           "seek",
                                                   "close",  "mkdir",  "remove",        "set-attributes", "set-stamp",
                                                   "rmdir"};
  return kNames[static_cast<int>(kind)];
}

bool WindowsResolve(const std::string& path, std::string& resolved) {
  const bool drive = path.size() >= 2 && path[1] == ':';
  std::string root = drive ? path.substr(0, 2) : path.empty() || path[0] == '\\' || path[0] == '/' ? "" : "C:";
  std::vector<std::string> parts;
  for (size_t i = drive ? 2 : 0; i <= path.size();) {
    size_t end = path.find_first_of("\\/", i);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(i, end - i);
    i = end + 1;
    const bool mentionsParent = part.find("..") != std::string::npos;
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) {
      if (mentionsParent && !parts.empty()) parts.pop_back();
      continue;
    }
    for (char c : part)
      if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|*?", c)) return false;
    parts.push_back(part);
  }
  resolved = root;
  for (const std::string& part : parts) resolved += "\\" + part;
  for (char& c : resolved)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return true;
}

bool WindowsBelow(const std::string& path, const std::string& folder) {
  std::string p, f;
  if (!WindowsResolve(path, p) || !WindowsResolve(folder, f)) return false;
  return p.size() > f.size() + 1 && p.compare(0, f.size(), f) == 0 && p[f.size()] == '\\';
}

void FaultyFileSystem::FailAt(FsCall kind, int n, int error, bool persistent) {
  failKind_ = n > 0 ? static_cast<int>(kind) : -1;
  failAt_ = n;
  error_ = error;
  persistent_ = persistent;
}

void FaultyFileSystem::ResetCounts() {
  calls_.fill(0);
  counted_.fill(0);
  faults_ = 0;
  injected_ = false;
  faultPath_.clear();
}

std::vector<std::string> FaultyFileSystem::ChangesOutside(const std::string& folder) const {
  std::set<std::string> outside;
  std::string self, path;
  WindowsResolve(folder, self);
  // A name Windows refuses changes nothing there; the folder itself (a directory made again
  // under a name Windows reads as its own) is not outside.
  for (const FsChange& change : changes_)
    if (WindowsResolve(change.path, path) && path != self && !WindowsBelow(change.path, folder))
      outside.insert(change.path);
  return {outside.begin(), outside.end()};
}

bool FaultyFileSystem::ShouldFail(FsCall kind, const std::string& path, bool changes, uint32_t value) {
  const int index = static_cast<int>(kind);
  ++calls_[index];
  if (changes && (changes_.empty() || kind != FsCall::Write || changes_.back().path != path))
    changes_.push_back({kind, path, value});
  const int n = onlyPath_.empty() || path == onlyPath_ ? ++counted_[index] : 0;
  injected_ = index == failKind_ && n > 0 && (n == failAt_ || (persistent_ && n > failAt_));
  injectedError_ = error_;
  if (injected_ && faults_++ == 0) faultPath_ = path;
  // A change the confinement refuses fails like a denied access, without counting as a fault.
  if (!injected_ && changes && !confinedTo_.empty() && !WindowsBelow(path, confinedTo_)) {
    injected_ = true;
    injectedError_ = kErrorAccessDenied;
  }
  return injected_;
}

bool FaultyFileSystem::ShouldFail(FsCall kind, FileHandle handle, bool changes, uint32_t value) {
  auto it = paths_.find(handle);
  return ShouldFail(kind, it == paths_.end() ? std::string() : it->second, changes && it != paths_.end(), value);
}

FileHandle FaultyFileSystem::Track(FileHandle handle, const std::string& path) {
  if (handle != kInvalidHandle) paths_[handle] = path;
  return handle;
}

FileHandle FaultyFileSystem::OpenExisting(const std::string& path, int mode) {
  return ShouldFail(FsCall::Open, path) ? kInvalidHandle : Track(inner_.OpenExisting(path, mode), path);
}

FileHandle FaultyFileSystem::CreateEmpty(const std::string& path) {
  return ShouldFail(FsCall::Create, path, true) ? kInvalidHandle : Track(inner_.CreateEmpty(path), path);
}

FileHandle FaultyFileSystem::CreateForText(const std::string& path) {
  return ShouldFail(FsCall::Create, path, true) ? kInvalidHandle : Track(inner_.CreateForText(path), path);
}

int32_t FaultyFileSystem::Read(FileHandle handle, void* buffer, int32_t count) {
  if (!ShouldFail(FsCall::Read, handle)) return inner_.Read(handle, buffer, count);
  return injectedError_ == kShortTransfer ? (injected_ = false, inner_.Read(handle, buffer, count / 2)) : -1;
}

int32_t FaultyFileSystem::Write(FileHandle handle, const void* buffer, int32_t count) {
  if (!ShouldFail(FsCall::Write, handle, true)) return inner_.Write(handle, buffer, count);
  return injectedError_ == kShortTransfer ? (injected_ = false, inner_.Write(handle, buffer, count / 2)) : -1;
}

int32_t FaultyFileSystem::Seek(FileHandle handle, int32_t offset, int origin) {
  return ShouldFail(FsCall::Seek, handle) ? -1 : inner_.Seek(handle, offset, origin);
}

bool FaultyFileSystem::Close(FileHandle handle) {
  // A failed close still releases the handle, as CloseHandle does after a failed flush.
  const bool fail = ShouldFail(FsCall::Close, handle);
  paths_.erase(handle);
  const bool closed = inner_.Close(handle);
  return fail ? false : closed;
}

bool FaultyFileSystem::MakeDirectory(const std::string& path) {
  return ShouldFail(FsCall::MakeDirectory, path, true) ? false : inner_.MakeDirectory(path);
}

bool FaultyFileSystem::MakePrivateDirectory(const std::string& path) {
  return ShouldFail(FsCall::MakeDirectory, path, true) ? false : inner_.MakePrivateDirectory(path);
}

bool FaultyFileSystem::Remove(const std::string& path) {
  return ShouldFail(FsCall::Remove, path, true) ? false : inner_.Remove(path);
}

bool FaultyFileSystem::RemoveFolder(const std::string& path) {
  return ShouldFail(FsCall::RemoveFolder, path, true) ? false : inner_.RemoveFolder(path);
}

int FaultyFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  return ShouldFail(FsCall::SetAttributes, path, true, attributes) ? injectedError_ : inner_.SetAttributes(path, attributes);
}

int FaultyFileSystem::SetStamp(FileHandle handle, uint32_t dosStamp) {
  return ShouldFail(FsCall::SetStamp, handle, true, dosStamp) ? injectedError_ : inner_.SetStamp(handle, dosStamp);
}
