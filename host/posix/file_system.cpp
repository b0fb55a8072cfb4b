// The file-system services on POSIX. Paths arrive in the internal "\" form and are translated
// here; errno values are reported in the Windows numbering the text-file messages expect.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "host/files.h"
#include "host/platform.h"

namespace {

constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorInvalidAccess = 12;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorNameTooLong = 206;
// errno values without a Windows counterpart are reported above this base.
constexpr int kErrnoBase = 1000;

constexpr uint32_t kAttributeReadOnly = 0x01;

int CodeForErrno(int error) {
  switch (error) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case ENOSPC: return kErrorDiskFull;
    case EBADF: return kErrorInvalidHandle;
    case EINVAL: return kErrorInvalidParameter;
    case EEXIST: return kErrorAlreadyExists;
    case ENAMETOOLONG: return kErrorNameTooLong;
    default: return kErrnoBase + error;
  }
}

int AccessFlags(int mode) {
  switch (mode & 3) {
    case 0: return O_RDONLY;
    case 1: return O_WRONLY;
    case 2: return O_RDWR;
    default: return -1;
  }
}

// Windows tells a missing file (2) from a missing folder on its way (3); ENOENT covers both.
int CodeForPathErrno(int error, const std::string& nativePath) {
  if (error != ENOENT) return CodeForErrno(error);
  const size_t split = nativePath.find_last_of('/');
  if (split == std::string::npos || split == 0) return kErrorFileNotFound;
  struct stat status;
  const std::string parent = nativePath.substr(0, split);
  if (::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return kErrorFileNotFound;
  return kErrorPathNotFound;
}

// The DOS years run from 1980 to 2107.
bool HasDosTime(time_t time) {
  struct tm local;
  if (localtime_r(&time, &local) == nullptr) return false;
  const int year = local.tm_year + 1900;
  return year >= 1980 && year <= 2107;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// A DOS stamp as local broken-down time; false for fields no calendar holds (stamp 0 too).
bool DosStampToLocalTime(uint32_t stamp, struct tm& local) {
  const int day = static_cast<int>(stamp >> 16 & 0x1F);
  const int month = static_cast<int>(stamp >> 21 & 0x0F);
  const int year = static_cast<int>(stamp >> 25) + 1980;
  const int seconds = static_cast<int>(stamp & 0x1F) * 2;
  const int minutes = static_cast<int>(stamp >> 5 & 0x3F);
  const int hours = static_cast<int>(stamp >> 11 & 0x1F);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hours > 23 || minutes > 59 || seconds > 59) return false;
  local = {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hours;
  local.tm_min = minutes;
  local.tm_sec = seconds;
  local.tm_isdst = -1;
  return true;
}

class PosixFileSystem : public FileSystem {
 public:
  // The sharing nibble of the mode has no POSIX counterpart: other openers are never refused.
  FileHandle OpenExisting(const std::string& path, int mode) override {
    const int access = AccessFlags(mode);
    if (access < 0) return Fail(kErrorInvalidAccess);
    return OpenFile(path, access);
  }

  FileHandle CreateEmpty(const std::string& path) override {
    return OpenFile(path, O_RDWR | O_CREAT | O_TRUNC);
  }

  FileHandle CreateForText(const std::string& path) override {
    return OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC);
  }

  int32_t Read(FileHandle handle, void* buffer, int32_t count) override {
    if (count < 0) return Fail(kErrorInvalidParameter);
    ssize_t done;
    do {
      done = ::read(Descriptor(handle), buffer, static_cast<size_t>(count));
    } while (done < 0 && errno == EINTR);
    if (done < 0) return FailWithErrno();
    return static_cast<int32_t>(done);
  }

  // Writes everything or reports how far it came; a short count carries the failure's code.
  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override {
    if (count < 0) return Fail(kErrorInvalidParameter);
    const char* bytes = static_cast<const char*>(buffer);
    int32_t total = 0;
    while (total < count) {
      const ssize_t done = ::write(Descriptor(handle), bytes + total, static_cast<size_t>(count - total));
      if (done < 0 && errno == EINTR) continue;
      if (done < 0) {
        FailWithErrno();
        return total > 0 ? total : -1;
      }
      if (done == 0) {
        Fail(kErrorDiskFull);
        return total;
      }
      total += static_cast<int32_t>(done);
    }
    return total;
  }

  int32_t Seek(FileHandle handle, int32_t offset, int origin) override {
    static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) return Fail(kErrorInvalidParameter);
    const off_t position = ::lseek(Descriptor(handle), offset, kWhence[origin]);
    if (position < 0) return FailWithErrno();
    if (position > INT32_MAX) return Fail(kErrorInvalidParameter);
    return static_cast<int32_t>(position);
  }

  bool Close(FileHandle handle) override {
    if (handle == kInvalidHandle) return Fail(kErrorInvalidHandle), false;
    if (::close(Descriptor(handle)) != 0) return FailWithErrno(), false;
    return true;
  }

  bool IsPresent(const std::string& path) override {
    struct stat status;
    if (::stat(NativePath(path).c_str(), &status) != 0) return FailWithErrno(), false;
    return S_ISREG(status.st_mode) && HasDosTime(status.st_mtime);
  }

  bool IsDirectory(const std::string& path) override {
    struct stat status;
    if (::stat(NativePath(path).c_str(), &status) != 0) return FailWithErrno(), false;
    return S_ISDIR(status.st_mode);
  }

  bool MakeDirectory(const std::string& path) override {
    if (::mkdir(NativePath(path).c_str(), 0777) != 0) return FailWithErrno(), false;
    return true;
  }

  bool MakePrivateDirectory(const std::string& path) override {
    if (::mkdir(NativePath(path).c_str(), 0700) != 0) return FailWithErrno(), false;
    return true;
  }

  bool Remove(const std::string& path) override {
    if (::unlink(NativePath(path).c_str()) != 0) return FailWithErrno(), false;
    return true;
  }

  bool RemoveFolder(const std::string& path) override {
    if (::rmdir(NativePath(path).c_str()) != 0) return FailWithErrno(), false;
    return true;
  }

  // Only the read-only bit has a POSIX meaning: it takes away every write permission, and
  // clearing it gives the owner's back.
  int SetAttributes(const std::string& path, uint32_t attributes) override {
    const std::string native = NativePath(path);
    struct stat status;
    if (::stat(native.c_str(), &status) != 0) return FailCode(CodeForPathErrno(errno, native));
    mode_t mode = status.st_mode & 07777;
    if (attributes & kAttributeReadOnly) {
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
      mode |= S_IWUSR;
    }
    if (mode != (status.st_mode & 07777) && ::chmod(native.c_str(), mode) != 0) {
      return FailCodeWithErrno();
    }
    return 0;
  }

  int SetStamp(FileHandle handle, uint32_t dosStamp) override {
    const int descriptor = Descriptor(handle);
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0) return FailCodeWithErrno();
    if ((flags & O_ACCMODE) == O_RDONLY) return FailCode(kErrorAccessDenied);
    struct tm local;
    if (!DosStampToLocalTime(dosStamp, local)) return FailCode(kErrorInvalidParameter);
    const time_t time = std::mktime(&local);
    if (time == static_cast<time_t>(-1)) return FailCode(kErrorInvalidParameter);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time;
    times[1].tv_nsec = 0;
    if (::futimens(descriptor, times) != 0) return FailCodeWithErrno();
    return 0;
  }

  int64_t FreeSpace(const std::string& folder) override {
    struct statvfs volume;
    if (::statvfs(NativePath(folder).c_str(), &volume) != 0) return FailWithErrno();
    return static_cast<int64_t>(volume.f_bavail) * static_cast<int64_t>(volume.f_frsize);
  }

  int LastError() override { return lastError_; }

 private:
  static int Descriptor(FileHandle handle) { return static_cast<int>(handle); }

  FileHandle OpenFile(const std::string& path, int flags) {
    const std::string native = NativePath(path);
    int descriptor;
    do {
      descriptor = ::open(native.c_str(), flags | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return Fail(CodeForPathErrno(errno, native));
    // Windows refuses to open a directory as a file; so do we.
    struct stat status;
    if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
      ::close(descriptor);
      return Fail(kErrorAccessDenied);
    }
    return descriptor;
  }

  // Records the failure's code; returns -1, the failure result of the handle services.
  int Fail(int code) {
    lastError_ = code;
    return -1;
  }

  int FailWithErrno() { return Fail(CodeForErrno(errno)); }

  // Records the failure's code and returns it, for the services that report a code.
  int FailCode(int code) {
    lastError_ = code;
    return code;
  }

  int FailCodeWithErrno() { return FailCode(CodeForErrno(errno)); }

  int lastError_ = 0;
};

}  // namespace

FileSystem& PlatformFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}
