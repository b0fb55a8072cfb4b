// An in-memory file system with the behaviour of the Windows calls behind the host's file
// services: case-insensitive names, "\" and "/" as separators, "." and ".." resolved, sharing
// checks between open handles, read-only and hidden files that CREATE_ALWAYS refuses, DOS
// stamps, and the Windows error codes. Every change is logged, so a test can tell exactly
// which paths a run touched.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/files.h"

// Windows error codes the double reports beyond those of host/files.h.
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorLockViolation = 33;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorWindowsDiskFull = 112;  // ERROR_DISK_FULL, as GetLastError gives it
constexpr int kErrorInvalidName = 123;
constexpr int kErrorNegativeSeek = 131;
constexpr int kErrorAlreadyExists = 183;
constexpr int kErrorFilenameTooLong = 206;

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;

// 2026-12-06 12:00:00, the stamp every file written by the double receives.
constexpr uint32_t kMemoryFsClockStamp = ((2026u - 1980u) << 25) | (12u << 21) | (6u << 16) | (12u << 11);

enum class FsChange { CreateFile, WriteFile, MakeDirectory, RemoveFile, SetAttributes, SetStamp };

struct FsEvent {
  FsChange change;
  std::string path;  // resolved, as the file system sees it
};

class MemoryFileSystem : public FileSystem {
 public:
  struct File {
    std::string path;  // resolved path with the spelling it was created with
    std::vector<uint8_t> bytes;
    uint32_t attributes = kAttrArchive;
    uint32_t stamp = kMemoryFsClockStamp;  // 0: a time the DOS range cannot express
  };

  MemoryFileSystem();

  // FileSystem
  FileHandle OpenExisting(const std::string& path, int mode) override;
  FileHandle CreateEmpty(const std::string& path) override;
  FileHandle CreateForText(const std::string& path) override;
  int32_t Read(FileHandle handle, void* buffer, int32_t count) override;
  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override;
  int32_t Seek(FileHandle handle, int32_t offset, int origin) override;
  bool Close(FileHandle handle) override;
  bool IsPresent(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool Remove(const std::string& path) override;
  int SetAttributes(const std::string& path, uint32_t attributes) override;
  int SetStamp(FileHandle handle, uint32_t dosStamp) override;
  int LastError() override { return lastError_; }

  // Set-up and inspection for tests. Paths are resolved like the calls above resolve them.
  void AddDirectory(const std::string& path);  // with every missing parent
  void AddFile(const std::string& path, std::vector<uint8_t> bytes, uint32_t attributes = kAttrArchive,
               uint32_t stamp = kMemoryFsClockStamp);  // parents created
  void AddFile(const std::string& path, const std::string& text);
  bool HasFile(const std::string& path) const;
  bool HasDirectory(const std::string& path) const;
  const File* FindFile(const std::string& path) const;
  std::string FileText(const std::string& path) const;  // empty when missing
  int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
  const std::vector<FsEvent>& Events() const { return events_; }
  // Paths changed (created, written, removed, re-attributed, re-stamped, made) that do not lie
  // below `directory` (the directory itself excluded).
  std::vector<std::string> ChangesOutside(const std::string& directory) const;
  // Caps the bytes all files may hold together; a write beyond it fails with disk full.
  void SetCapacity(size_t bytes) { capacity_ = bytes; }

  // The resolved form of a path: root ("C:" or empty), components joined by "\", "." and
  // ".." applied, repeated separators collapsed, trailing dots and blanks of a component
  // dropped. Relative paths are taken from "C:\". Returns false for a path Windows refuses.
  static bool Resolve(const std::string& path, std::string& resolved, int& error);
  // True when `path` (resolved) lies strictly below `directory` (resolved).
  static bool IsBelow(const std::string& path, const std::string& directory);

 private:
  struct Handle {
    std::string key;
    bool canRead = false;
    bool canWrite = false;
    bool shareRead = false;
    bool shareWrite = false;
    int64_t position = 0;
  };

  static std::string KeyOf(const std::string& resolved);
  bool ResolveForUse(const std::string& path, std::string& resolved, std::string& key);
  bool ParentExists(const std::string& resolved) const;
  bool SharingAllows(const std::string& key, bool read, bool write, bool shareRead, bool shareWrite) const;
  FileHandle CreateAlways(const std::string& path, bool read, bool shareRead);
  FileHandle NewHandle(const std::string& key, bool read, bool write, bool shareRead, bool shareWrite);
  Handle* FindHandle(FileHandle handle);
  size_t UsedBytes() const;
  bool Fail(int error);
  void Log(FsChange change, const std::string& path) { events_.push_back({change, path}); }

  std::map<std::string, File> files_;               // by KeyOf(resolved)
  std::map<std::string, std::string> directories_;  // key -> resolved
  std::map<FileHandle, Handle> handles_;
  std::vector<FsEvent> events_;
  FileHandle nextHandle_ = 0x100;
  size_t capacity_ = SIZE_MAX;
  int lastError_ = 0;
};
