#include "tools/sfxpack/platform/tool_platform.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/date_text.h"

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

// One conversion through iconv; false on an invalid or unmappable sequence.
bool Iconv(const char* to, const char* from, const std::string& input, std::string& output) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(input.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = &result[0];
  size_t outLeft = result.size();
  const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
                         iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (!converted) return false;
  result.resize(result.size() - outLeft);
  output = result;
  return true;
}

// glibc's names for the Windows code pages: CP1250..CP1258, CP874, CP932 (the Windows form of
// Shift JIS), CP936 (GBK), CP949 (Unified Hangul) and CP950 (Big5).
std::string IconvName(int codePage) { return "CP" + std::to_string(codePage); }

}  // namespace

void InitToolPlatform() {}

std::vector<std::string> ToolArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& converted) {
  return Iconv(IconvName(codePage).c_str(), "UTF-8", utf8, converted);
}

bool ConvertToUtf8(const std::string& text, int codePage, std::string& utf8) {
  return Iconv("UTF-8", IconvName(codePage).c_str(), text, utf8);
}

std::FILE* OpenFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

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
  info.unixTime = st.st_mtim.tv_sec;
  return true;
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

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
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

namespace {

// Copies standard input to a file that has no name, and returns its descriptor.
int SpoolStandardInput() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != 0 ? dir : "/tmp") + "/.sfxpack-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) FailOnFile("stdin", "cannot create a temporary file: " + LastSystemErrorText());
  unlink(pattern.c_str());
  static char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      close(fd);
      FailOnFile("stdin", "read error: " + LastSystemErrorText());
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(fd, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        close(fd);
        FailOnFile("stdin", "cannot keep it in a temporary file: " + LastSystemErrorText());
      }
      done += put;
    }
  }
  return fd;
}

}  // namespace

MappedInput::MappedInput(const std::string& path, size_t prefixSize) : prefixSize_(prefixSize) {
  const std::string shown = path == "-" ? "stdin" : path;
  const int fd = path == "-" ? SpoolStandardInput() : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailOnFile(shown, LastSystemErrorText());
  struct stat facts {};
  if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    close(fd);
    FailOnFile(shown, "not a file that can be read as a whole");
  }
  fileSize_ = static_cast<size_t>(facts.st_size);
  // The file goes at a page boundary, the prefix just before it.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t head = (prefixSize + page - 1) / page * page;
  areaSize_ = head + fileSize_;
  void* area = mmap(nullptr, areaSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) {
    close(fd);
    FailOnFile(shown, "cannot map it: " + LastSystemErrorText());
  }
  area_ = static_cast<uint8_t*>(area);
  if (fileSize_ > 0 &&
      mmap(area_ + head, fileSize_, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
    const std::string reason = LastSystemErrorText();
    close(fd);
    munmap(area_, areaSize_);
    FailOnFile(shown, "cannot map it: " + reason);
  }
  close(fd);
  text_ = area_ + head - prefixSize;
  released_ = head;
}

MappedInput::~MappedInput() {
  if (area_ != nullptr) munmap(area_, areaSize_);
}

void MappedInput::Release(size_t position) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t end = (static_cast<size_t>(text_ - area_) + position) / page * page;
  if (end <= released_ || end > areaSize_) return;
  madvise(area_ + released_, end - released_, MADV_DONTNEED);
  released_ = end;
}
