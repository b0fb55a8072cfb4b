// A FileSystem wrapper that counts the calls of each kind and makes a chosen one fail with a
// chosen Windows error code, the way the disk, a virus scanner's lock or a vanished network
// share makes the real call fail. Everything else is passed to the wrapped file system.
#pragma once

#include <array>
#include <map>
#include <string>

#include "host/files.h"

constexpr int kShortTransfer = -1;

enum class FsCall { Create, Open, Write, Read, Seek, Close, MakeDirectory, Remove, SetAttributes, SetStamp };
constexpr int kFsCallKinds = 10;
const char* FsCallName(FsCall kind);

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner) : inner_(inner) {}

  // Call number `n` (from 1) of `kind` fails with `error`; with `persistent`, every later call
  // of that kind fails too (a disk that stays full). n = 0 disarms. For reads and writes the
  // error kShortTransfer moves half the bytes and reports success, as a file cut short or a
  // disk filling up in the middle of a write does.
  void FailAt(FsCall kind, int n, int error, bool persistent = false);
  void Disarm() { failKind_ = -1; }
  // Only calls concerning `path` count toward n and can fail (empty: every call); Calls()
  // still counts every call.
  void LimitTo(const std::string& path) { onlyPath_ = path; }
  int Calls(FsCall kind) const { return calls_[static_cast<int>(kind)]; }
  int TotalCalls() const;
  int FaultsInjected() const { return faults_; }
  // The path the first injected failure concerned (for a handle call, the path it was opened
  // with); empty before one.
  const std::string& FaultPath() const { return faultPath_; }
  void ResetCounts();

  FileHandle OpenExisting(const std::string& path, int mode) override;
  FileHandle CreateEmpty(const std::string& path) override;
  FileHandle CreateForText(const std::string& path) override;
  int32_t Read(FileHandle handle, void* buffer, int32_t count) override;
  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override;
  int32_t Seek(FileHandle handle, int32_t offset, int origin) override;
  bool Close(FileHandle handle) override;
  bool IsPresent(const std::string& path) override { return injected_ = false, inner_.IsPresent(path); }
  bool IsDirectory(const std::string& path) override { return injected_ = false, inner_.IsDirectory(path); }
  bool MakeDirectory(const std::string& path) override;
  bool Remove(const std::string& path) override;
  int SetAttributes(const std::string& path, uint32_t attributes) override;
  int SetStamp(FileHandle handle, uint32_t dosStamp) override;
  int LastError() override { return injected_ ? error_ : inner_.LastError(); }

 private:
  bool ShouldFail(FsCall kind, const std::string& path);
  bool ShouldFail(FsCall kind, FileHandle handle);
  FileHandle Track(FileHandle handle, const std::string& path);

  FileSystem& inner_;
  std::array<int, kFsCallKinds> calls_{};
  std::array<int, kFsCallKinds> counted_{};  // the calls that count toward n
  std::string onlyPath_;
  int failKind_ = -1;
  int failAt_ = 0;
  int error_ = 0;
  bool persistent_ = false;
  bool injected_ = false;  // the last call was failed here
  int faults_ = 0;
  std::string faultPath_;
  std::map<FileHandle, std::string> paths_;
};

// Puts a file system in place for the services of host/files.h while in scope.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem) { SetCurrentFileSystem(&fileSystem); }
  ~ScopedFileSystem() { SetCurrentFileSystem(nullptr); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
};
