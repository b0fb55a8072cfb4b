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
  faults_ = 0;
  injected_ = false;
}

bool FaultyFileSystem::ShouldFail(FsCall kind) {
  int index = static_cast<int>(kind);
  int n = ++calls_[index];
  injected_ = index == failKind_ && (n == failAt_ || (persistent_ && n > failAt_));
  if (injected_) ++faults_;
  return injected_;
}

FileHandle FaultyFileSystem::OpenExisting(const std::string& path, int mode) {
  return ShouldFail(FsCall::Open) ? kInvalidHandle : inner_.OpenExisting(path, mode);
}

FileHandle FaultyFileSystem::CreateEmpty(const std::string& path) {
  return ShouldFail(FsCall::Create) ? kInvalidHandle : inner_.CreateEmpty(path);
}

FileHandle FaultyFileSystem::CreateForText(const std::string& path) {
  return ShouldFail(FsCall::Create) ? kInvalidHandle : inner_.CreateForText(path);
}

int32_t FaultyFileSystem::Read(FileHandle handle, void* buffer, int32_t count) {
  return ShouldFail(FsCall::Read) ? -1 : inner_.Read(handle, buffer, count);
}

int32_t FaultyFileSystem::Write(FileHandle handle, const void* buffer, int32_t count) {
  return ShouldFail(FsCall::Write) ? -1 : inner_.Write(handle, buffer, count);
}

int32_t FaultyFileSystem::Seek(FileHandle handle, int32_t offset, int origin) {
  return ShouldFail(FsCall::Seek) ? -1 : inner_.Seek(handle, offset, origin);
}

bool FaultyFileSystem::Close(FileHandle handle) {
  // A failed close still releases the handle, as CloseHandle does after a failed flush.
  if (ShouldFail(FsCall::Close)) {
    inner_.Close(handle);
    return false;
  }
  return inner_.Close(handle);
}

bool FaultyFileSystem::MakeDirectory(const std::string& path) {
  return ShouldFail(FsCall::MakeDirectory) ? false : inner_.MakeDirectory(path);
}

bool FaultyFileSystem::Remove(const std::string& path) {
  return ShouldFail(FsCall::Remove) ? false : inner_.Remove(path);
}

int FaultyFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  return ShouldFail(FsCall::SetAttributes) ? error_ : inner_.SetAttributes(path, attributes);
}

int FaultyFileSystem::SetStamp(FileHandle handle, uint32_t dosStamp) {
  return ShouldFail(FsCall::SetStamp) ? error_ : inner_.SetStamp(handle, dosStamp);
}
