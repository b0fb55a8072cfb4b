// The file-system services on Win32: each is one or two kernel32 calls, and a failure's code
// is GetLastError's. The calls that take a path come from a policy: the stub's are the ANSI
// ones (names in the system code page, as the archive stores them); a program that holds its
// paths in UTF-8 gives the wide-character ones.
#pragma once

#include <windows.h>

#include "host/files.h"

namespace win32_files {

constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorInvalidAccess = 12;
constexpr int kErrorInvalidParameter = 87;

// Access by bits 0-1 of the mode byte, sharing by bits 4-7.
constexpr DWORD kAccess[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
constexpr DWORD kSharing[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE};

inline HANDLE Native(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// The security of a private folder: owned by the user the program runs as, and open only to
// that user, SYSTEM and the Administrators, with nothing inherited from the folder above (a
// shared temporary folder lets every user in). Built once; nullptr, with the system's error
// set, when the process's own user cannot be read.
SECURITY_ATTRIBUTES* PrivateFolderSecurity();

// The ANSI calls.
struct AnsiPaths {
  static HANDLE Open(const std::string& path, DWORD access, DWORD sharing, DWORD disposition) {
    return CreateFileA(path.c_str(), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static bool Find(const std::string& path, DWORD& attributes, FILETIME& written) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    attributes = found.dwFileAttributes;
    written = found.ftLastWriteTime;
    return true;
  }
  static DWORD GetAttributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
  static bool MakeDirectory(const std::string& path, SECURITY_ATTRIBUTES* security = nullptr) {
    return CreateDirectoryA(path.c_str(), security);
  }
  static bool Remove(const std::string& path) { return DeleteFileA(path.c_str()); }
  static bool RemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()); }
  static bool FreeSpace(const std::string& folder, ULARGE_INTEGER& free) {
    return GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr);
  }
  static bool SetAttributes(const std::string& path, DWORD attributes) {
    return SetFileAttributesA(path.c_str(), attributes);
  }
};

template <class Paths>
class BasicWin32FileSystem : public FileSystem {
 public:
  FileHandle OpenExisting(const std::string& path, int mode) override {
    const int access = mode & 3;
    const int sharing = (mode >> 4) & 0x0F;
    if (access > 2 || sharing > 4) return Fail(kErrorInvalidAccess);
    return Create(path, kAccess[access], kSharing[sharing], OPEN_EXISTING);
  }

  FileHandle CreateEmpty(const std::string& path) override {
    return Create(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  }

  FileHandle CreateForText(const std::string& path) override {
    return Create(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  }

  int32_t Read(FileHandle handle, void* buffer, int32_t count) override {
    DWORD done = 0;
    if (count < 0) return Fail(kErrorInvalidParameter);
    if (!ReadFile(Native(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) {
      return FailWithLastError();
    }
    return static_cast<int32_t>(done);
  }

  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override {
    DWORD done = 0;
    if (count < 0) return Fail(kErrorInvalidParameter);
    if (!WriteFile(Native(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) {
      return FailWithLastError();
    }
    return static_cast<int32_t>(done);
  }

  int32_t Seek(FileHandle handle, int32_t offset, int origin) override {
    static const DWORD kMethod[3] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (origin < 0 || origin > 2) return Fail(kErrorInvalidParameter);
    const DWORD position = SetFilePointer(Native(handle), offset, nullptr, kMethod[origin]);
    if (position == INVALID_SET_FILE_POINTER) return FailWithLastError();
    return static_cast<int32_t>(position);
  }

  // The handle -1 is also the current process's pseudo-handle; it must never reach CloseHandle.
  bool Close(FileHandle handle) override {
    if (handle == kInvalidHandle) return Fail(kErrorInvalidHandle), false;
    if (!CloseHandle(Native(handle))) return FailWithLastError(), false;
    return true;
  }

  // The path is a search pattern, as the directory search takes it.
  bool IsPresent(const std::string& path) override {
    DWORD attributes = 0;
    FILETIME written;
    if (!Paths::Find(path, attributes, written)) return FailWithLastError(), false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    return FileTimeToLocalFileTime(&written, &local) && FileTimeToDosDateTime(&local, &date, &time);
  }

  bool IsDirectory(const std::string& path) override {
    const DWORD attributes = Paths::GetAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FailWithLastError(), false;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool MakeDirectory(const std::string& path) override {
    if (!Paths::MakeDirectory(path)) return FailWithLastError(), false;
    return true;
  }

  bool MakePrivateDirectory(const std::string& path) override {
    SECURITY_ATTRIBUTES* security = PrivateFolderSecurity();
    if (security == nullptr || !Paths::MakeDirectory(path, security)) return FailWithLastError(), false;
    return true;
  }

  bool Remove(const std::string& path) override {
    if (!Paths::Remove(path)) return FailWithLastError(), false;
    return true;
  }

  bool RemoveFolder(const std::string& path) override {
    if (!Paths::RemoveFolder(path)) return FailWithLastError(), false;
    return true;
  }

  int SetAttributes(const std::string& path, uint32_t attributes) override {
    if (!Paths::SetAttributes(path, attributes)) return FailCodeWithLastError();
    return 0;
  }

  int SetStamp(FileHandle handle, uint32_t dosStamp) override {
    FILETIME local;
    FILETIME universal;
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosStamp >> 16), static_cast<WORD>(dosStamp),
                               &local) ||
        !LocalFileTimeToFileTime(&local, &universal) ||
        !SetFileTime(Native(handle), nullptr, nullptr, &universal)) {
      return FailCodeWithLastError();
    }
    return 0;
  }

  int64_t FreeSpace(const std::string& folder) override {
    ULARGE_INTEGER free;
    if (!Paths::FreeSpace(folder, free)) return FailWithLastError();
    return static_cast<int64_t>(free.QuadPart);
  }

  int LastError() override { return lastError_; }

 private:
  FileHandle Create(const std::string& path, DWORD access, DWORD sharing, DWORD disposition) {
    const HANDLE handle = Paths::Open(path, access, sharing, disposition);
    if (handle == INVALID_HANDLE_VALUE) return FailWithLastError();
    return reinterpret_cast<FileHandle>(handle);
  }

  int Fail(int code) {
    lastError_ = code;
    return -1;
  }

  int FailWithLastError() { return Fail(static_cast<int>(GetLastError())); }

  // A failed call that left no code of its own (a date conversion, for one) still reports
  // a nonzero one.
  int FailCodeWithLastError() {
    const DWORD code = GetLastError();
    lastError_ = code != 0 ? static_cast<int>(code) : kErrorInvalidParameter;
    return lastError_;
  }

  int lastError_ = 0;
};

}  // namespace win32_files
