// File-handle and file-system services. They report by result (-1, false, an error code) and
// never raise. Paths are in the internal "\" form; the platform layer translates them.
//
// Every call goes through the FileSystem interface so that tests can put a double in place of
// the real disk (in-memory files, injected failures).
#pragma once

#include <cstdint>
#include <string>

using FileHandle = intptr_t;
constexpr FileHandle kInvalidHandle = -1;

// Open modes: bits 0-1 access (0 read, 1 write, 2 read and write), bits 4-7 sharing
// (0/1 none, 2 read, 3 write, 4 read and write).
constexpr int kModeReadShared = 64;   // the program's own file
constexpr int kModeWriteShared = 65;  // setting a member's date

// Error codes in the Windows numbering, also on POSIX, where ENOENT gives 2 (3 when a folder on
// the way is missing), ENOTDIR 3, EMFILE/ENFILE 4, EACCES/EPERM/EROFS/EISDIR 5 and ENOSPC 101
// (so that a full disk reads as the text-file message for it); errno values without a
// Windows counterpart are reported as 1000 + errno.
//
// POSIX differences, all at the file-system boundary: the sharing nibble of a mode has no
// meaning; FileIsPresent stats the path (no wildcards) and wants a regular file whose local
// modification time lies in the DOS years 1980..2107; SetAttributes knows only the read-only
// bit (set: all write permission removed; clear: the owner's restored); SetFileStamp refuses
// a stamp that names no real local date and time, as well as a handle without write access.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorTooManyOpenFiles = 4;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorSharingViolation = 32;
constexpr int kErrorDiskFull = 101;
constexpr int kErrorAlreadyExists = 183;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual FileHandle OpenExisting(const std::string& path, int mode) = 0;
  virtual FileHandle CreateEmpty(const std::string& path) = 0;
  // CREATE_ALWAYS, write access, others may read: the text-file create.
  virtual FileHandle CreateForText(const std::string& path) = 0;
  virtual int32_t Read(FileHandle handle, void* buffer, int32_t count) = 0;
  virtual int32_t Write(FileHandle handle, const void* buffer, int32_t count) = 0;
  virtual int32_t Seek(FileHandle handle, int32_t offset, int origin) = 0;
  virtual bool Close(FileHandle handle) = 0;
  virtual bool IsPresent(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  virtual bool MakeDirectory(const std::string& path) = 0;
  // A new folder that only the user the program runs as may enter (on Win32 also SYSTEM and
  // the Administrators, through a protected access list; on POSIX mode 0700). Fails with
  // kErrorAlreadyExists when the name exists, whatever it names.
  virtual bool MakePrivateDirectory(const std::string& path) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // Removes an empty folder; fails for one that holds anything.
  virtual bool RemoveFolder(const std::string& path) = 0;
  virtual int SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual int SetStamp(FileHandle handle, uint32_t dosStamp) = 0;
  // Bytes free to this user on the volume of `folder`; -1 when the system does not say.
  virtual int64_t FreeSpace(const std::string& folder) = 0;
  // The error code (Windows numbering) of the last call that failed.
  virtual int LastError() = 0;
};

FileSystem& PlatformFileSystem();        // the real disk, from host/win32 or host/posix
FileSystem& CurrentFileSystem();         // what the services below use
void SetCurrentFileSystem(FileSystem* fileSystem);  // nullptr restores the platform's

FileHandle OpenExistingFile(const std::string& path, int mode);
FileHandle CreateEmptyFile(const std::string& path);
int32_t ReadFileBytes(FileHandle handle, void* buffer, int32_t count);
int32_t WriteFileBytes(FileHandle handle, const void* buffer, int32_t count);
int32_t SeekFile(FileHandle handle, int32_t offset, int origin);
void CloseFileHandle(FileHandle handle);
bool FileIsPresent(const std::string& path);
bool IsDirectory(const std::string& path);
bool MakeDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
bool MakePrivateDirectory(const std::string& path);
bool RemoveFolder(const std::string& path);
int64_t FreeDiskSpace(const std::string& folder);
int SetAttributes(const std::string& path, uint32_t attributes);
int SetFileStamp(FileHandle handle, uint32_t dosStamp);
