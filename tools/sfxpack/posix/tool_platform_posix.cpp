#include "tools/sfxpack/tool_platform.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstring>

#include "tools/sfxpack/date_text.h"

namespace {

long double LocalDateTime(time_t seconds, long nanoseconds) {
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  return DayCountOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec + nanoseconds / 1e9L);
}

// Written only outside the handler, read only inside it; unlink is async-signal-safe.
char PendingRemoval[4096];
volatile sig_atomic_t RemovalPending = 0;

void RemovePendingFile(int signalNumber) {
  if (RemovalPending) unlink(PendingRemoval);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

void RemoveOnInterrupt(const std::string& path) {
  RemovalPending = 0;
  if (path.empty() || path.size() >= sizeof PendingRemoval) return;
  std::memcpy(PendingRemoval, path.c_str(), path.size() + 1);
  static const bool installed = [] {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, RemovePendingFile);
    return true;
  }();
  (void)installed;
  RemovalPending = 1;
}

bool ReadSourceFileInfo(const std::string& path, TSourceFileInfo& info) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  info.size = static_cast<uint64_t>(st.st_size);
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.dateTime = LocalDateTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  return true;
}

long double CurrentDateTime() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalDateTime(now.tv_sec, now.tv_nsec);
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int TerminalColumns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

std::string ExecutableDirectory() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  const std::string path(buffer, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::FILE* CreateTemporaryFile(const std::string& folder, std::string& path) {
  std::string pattern = (folder.empty() ? std::string(".") : folder) + "/.sfxpack-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    const int saved = errno;
    close(fd);
    unlink(pattern.c_str());
    errno = saved;
    return nullptr;
  }
  path = pattern;
  return file;
}

bool MakeExecutable(const std::string& path) {
  const mode_t mask = umask(0);
  umask(mask);
  return chmod(path.c_str(), 0777 & ~mask) == 0;
}

std::FILE* CreateNewFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}

bool IsSymbolicLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LastSystemErrorText() { return std::strerror(errno); }
