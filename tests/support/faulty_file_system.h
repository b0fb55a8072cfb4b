// A FileSystem wrapper that counts the calls of each kind, makes a chosen one fail with a
// chosen Windows error code (the way the disk, a virus scanner's lock or a vanished network
// share makes the real call fail), and logs every call that changes the disk. Everything else
// is passed to the wrapped file system.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "host/files.h"

constexpr int kShortTransfer = -1;
constexpr int kErrorLockViolation = 33;
constexpr int kErrorWindowsDiskFull = 112;  // ERROR_DISK_FULL, as GetLastError gives it

enum class FsCall { Create, Open, Write, Read, Seek, Close, MakeDirectory, Remove, SetAttributes, SetStamp, RemoveFolder };
constexpr int kFsCallKinds = 11;
const char* FsCallName(FsCall kind);

// A change to the disk: the call, the path it concerned (for a handle, the path it was opened
// with) and, for attributes and stamps, the value set.
struct FsChange {
  FsCall call;
  std::string path;
  uint32_t value;
};

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner = PlatformFileSystem()) : inner_(inner) {}

  // Call number `n` (from 1) of `kind` fails with `error`; with `persistent`, every later call
  // of that kind fails too (a disk that stays full). n = 0 disarms. For reads and writes the
  // error kShortTransfer moves half the bytes and reports success, as a file cut short or a
  // disk filling up in the middle of a write does.
  void FailAt(FsCall kind, int n, int error, bool persistent = false);
  void Disarm() { failKind_ = -1; }
  // Only calls concerning `path` count toward n and can fail (empty: every call).
  void LimitTo(const std::string& path) { onlyPath_ = path; }
  // Changes to paths that Windows would not place below `folder` are refused (and logged).
  void ConfineTo(const std::string& folder) { confinedTo_ = folder; }
  int Calls(FsCall kind) const { return calls_[static_cast<int>(kind)]; }
  int FaultsInjected() const { return faults_; }
  // The path the first injected failure concerned; empty before one.
  const std::string& FaultPath() const { return faultPath_; }
  void ResetCounts();
  const std::vector<FsChange>& Changes() const { return changes_; }
  // Paths changed (or that a change was tried on) that Windows places outside `folder`.
  std::vector<std::string> ChangesOutside(const std::string& folder) const;
  int OpenHandleCount() const { return static_cast<int>(paths_.size()); }

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
  bool MakePrivateDirectory(const std::string& path) override;
  bool Remove(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  int SetAttributes(const std::string& path, uint32_t attributes) override;
  int SetStamp(FileHandle handle, uint32_t dosStamp) override;
  // A small disk when set (>= 0): what FreeSpace reports.
  int64_t freeSpace = -2;
  int64_t FreeSpace(const std::string& folder) override {
    return freeSpace > -2 ? freeSpace : inner_.FreeSpace(folder);
  }
  int LastError() override { return injected_ ? injectedError_ : inner_.LastError(); }

 private:
  bool ShouldFail(FsCall kind, const std::string& path, bool changes = false, uint32_t value = 0);
  bool ShouldFail(FsCall kind, FileHandle handle, bool changes = false, uint32_t value = 0);
  FileHandle Track(FileHandle handle, const std::string& path);

  FileSystem& inner_;
  std::array<int, kFsCallKinds> calls_{};
  std::array<int, kFsCallKinds> counted_{};  // the calls that count toward n
  std::string onlyPath_, confinedTo_;
  int failKind_ = -1;
  int failAt_ = 0;
  int error_ = 0;
  int injectedError_ = 0;
  bool persistent_ = false;
  bool injected_ = false;  // the last call was failed here
  int faults_ = 0;
  std::string faultPath_;
  std::map<FileHandle, std::string> paths_;
  std::vector<FsChange> changes_;
};

// How Windows reads a path: "\" and "/" alike, "." dropped, ".." (also "...", ".. ") taking
// the parent, trailing dots and blanks of a component dropped, case ignored (upper-cased
// here), relative paths from "C:\". False for a name Windows refuses (<>:"|*? or a control
// character).
bool WindowsResolve(const std::string& path, std::string& resolved);
// True when Windows places `path` strictly below `folder`.
bool WindowsBelow(const std::string& path, const std::string& folder);

// Puts a file system in place for the services of host/files.h while in scope.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem) { SetCurrentFileSystem(&fileSystem); }
  ~ScopedFileSystem() { SetCurrentFileSystem(nullptr); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
};
