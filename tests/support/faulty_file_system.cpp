#include "tests/support/faulty_file_system.h"

const char* FsCallName(FsCall kind) {
  static const char* const kNames[kFsCallKinds] = {"create", "open",   "write",         "read",           "seek",
                                                   "close",  "mkdir",  "remove",        "set-attributes", "set-stamp"};
  return kNames[static_cast<int>(kind)];
}

void FaultyFileSystem::FailAt(FsCall kind, int n, int error, bool persistent) {
  failKind_ = n > 0 ? static_cast<int>(kind) : -1;
  failAt_ = n;
  error_ = error;
  persistent_ = persistent;
}

int FaultyFileSystem::TotalCalls() const {
  int total = 0;
  for (int count : calls_) total += count;
  return total;
}

void FaultyFileSystem::ResetCounts() {
  calls_.fill(0);
  counted_.fill(0);
  faults_ = 0;
  injected_ = false;
  faultPath_.clear();
}

bool FaultyFileSystem::ShouldFail(FsCall kind, const std::string& path) {
  int index = static_cast<int>(kind);
  ++calls_[index];
  const int n = onlyPath_.empty() || path == onlyPath_ ? ++counted_[index] : 0;
  injected_ = index == failKind_ && n > 0 && (n == failAt_ || (persistent_ && n > failAt_));
  if (injected_ && faults_++ == 0) faultPath_ = path;
  return injected_;
}

bool FaultyFileSystem::ShouldFail(FsCall kind, FileHandle handle) {
  auto it = paths_.find(handle);
  return ShouldFail(kind, it == paths_.end() ? std::string() : it->second);
}

FileHandle FaultyFileSystem::Track(FileHandle handle, const std::string& path) {
  if (handle != kInvalidHandle) paths_[handle] = path;
  return handle;
}

FileHandle FaultyFileSystem::OpenExisting(const std::string& path, int mode) {
  return ShouldFail(FsCall::Open, path) ? kInvalidHandle : Track(inner_.OpenExisting(path, mode), path);
}

FileHandle FaultyFileSystem::CreateEmpty(const std::string& path) {
  return ShouldFail(FsCall::Create, path) ? kInvalidHandle : Track(inner_.CreateEmpty(path), path);
}

FileHandle FaultyFileSystem::CreateForText(const std::string& path) {
  return ShouldFail(FsCall::Create, path) ? kInvalidHandle : Track(inner_.CreateForText(path), path);
}

int32_t FaultyFileSystem::Read(FileHandle handle, void* buffer, int32_t count) {
  if (!ShouldFail(FsCall::Read, handle)) return inner_.Read(handle, buffer, count);
  return error_ == kShortTransfer ? (injected_ = false, inner_.Read(handle, buffer, count / 2)) : -1;
}

int32_t FaultyFileSystem::Write(FileHandle handle, const void* buffer, int32_t count) {
  if (!ShouldFail(FsCall::Write, handle)) return inner_.Write(handle, buffer, count);
  return error_ == kShortTransfer ? (injected_ = false, inner_.Write(handle, buffer, count / 2)) : -1;
}

int32_t FaultyFileSystem::Seek(FileHandle handle, int32_t offset, int origin) {
  return ShouldFail(FsCall::Seek, handle) ? -1 : inner_.Seek(handle, offset, origin);
}

bool FaultyFileSystem::Close(FileHandle handle) {
  // A failed close still releases the handle, as CloseHandle does after a failed flush.
  bool fail = ShouldFail(FsCall::Close, handle);
  paths_.erase(handle);
  bool closed = inner_.Close(handle);
  return fail ? false : closed;
}

bool FaultyFileSystem::MakeDirectory(const std::string& path) {
  return ShouldFail(FsCall::MakeDirectory, path) ? false : inner_.MakeDirectory(path);
}

bool FaultyFileSystem::Remove(const std::string& path) {
  return ShouldFail(FsCall::Remove, path) ? false : inner_.Remove(path);
}

int FaultyFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  return ShouldFail(FsCall::SetAttributes, path) ? error_ : inner_.SetAttributes(path, attributes);
}

int FaultyFileSystem::SetStamp(FileHandle handle, uint32_t dosStamp) {
  return ShouldFail(FsCall::SetStamp, handle) ? error_ : inner_.SetStamp(handle, dosStamp);
}
