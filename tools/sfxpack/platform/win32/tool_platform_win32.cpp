// sfxpack on Windows. Names come from the wide-character calls and stay in UTF-8 inside the
// tool, as on POSIX, so that a tree packs into the same bytes on both. The host file services
// take ANSI paths (the stub's way); the tool puts a file system in their place that reads its
// paths as UTF-8 and calls the wide functions.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/files.h"
#include "host/win32/win32_file_system.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/date_text.h"
#include "tools/sfxpack/platform/tool_platform.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
  return wide;
}

std::string Utf8(const wchar_t* text, size_t size) {
  if (size == 0) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), &utf8[0], length, nullptr, nullptr);
  return utf8;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

// The tool reports every failure through errno (LastSystemErrorText); Win32 failures are
// mapped onto the nearest value.
void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      errno = ENOENT;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      errno = EMFILE;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      errno = ENOMEM;
      break;
    default:  // access denied, sharing violation, write protection and the like
      errno = EACCES;
  }
}

std::FILE* StreamOf(HANDLE handle, int flags, const char* mode) {
  if (handle == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, mode);
  if (file == nullptr) _close(descriptor);
  return file;
}

long double LocalDateTime(const FILETIME& universal) {
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(&universal, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return 0;
  }
  const uint64_t ticks = (uint64_t{universal.dwHighDateTime} << 32) | universal.dwLowDateTime;
  return DayCountOf(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                    local.wSecond + static_cast<long double>(ticks % 10000000) / 1e7L);
}

// The host's file services with wide-character paths given in UTF-8.
struct Utf8Paths {
  static HANDLE Open(const std::string& path, DWORD access, DWORD sharing, DWORD disposition) {
    return CreateFileW(Wide(path).c_str(), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static bool Find(const std::string& path, DWORD& attributes, FILETIME& written) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    attributes = found.dwFileAttributes;
    written = found.ftLastWriteTime;
    return true;
  }
  static DWORD GetAttributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }
  static bool MakeDirectory(const std::string& path, SECURITY_ATTRIBUTES* security = nullptr) {
    return CreateDirectoryW(Wide(path).c_str(), security);
  }
  static bool Remove(const std::string& path) { return DeleteFileW(Wide(path).c_str()); }
  static bool RemoveFolder(const std::string& path) { return RemoveDirectoryW(Wide(path).c_str()); }
  static bool FreeSpace(const std::string& folder, ULARGE_INTEGER& free) {
    return GetDiskFreeSpaceExW(Wide(folder).c_str(), &free, nullptr, nullptr);
  }
  static bool SetAttributes(const std::string& path, DWORD attributes) {
    return SetFileAttributesW(Wide(path).c_str(), attributes);
  }
};

bool stderrIsTerminal = false;

// The file an interrupt removes. The handler runs on a thread of its own while the file is
// still open; it was opened with FILE_SHARE_DELETE, so the deletion takes effect when the
// process ends and closes it.
wchar_t pendingRemoval[MAX_PATH * 4];
volatile LONG removalPending = 0;

BOOL WINAPI RemovePendingFile(DWORD) {
  if (removalPending) DeleteFileW(pendingRemoval);
  return FALSE;  // and let the default handler end the process
}

}  // namespace

void InitToolPlatform() {
  static win32_files::BasicWin32FileSystem<Utf8Paths> fileSystem;
  SetCurrentFileSystem(&fileSystem);
  // Binary streams: no CR before each LF of a listing, no change to the bytes of
  // decode-stream and encode-stream through "-".
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  DWORD mode = 0;
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (GetConsoleMode(output, &mode) || GetConsoleMode(error, &mode)) SetConsoleOutputCP(CP_UTF8);
  // The progress bar redraws its line with escape sequences, which a console understands
  // once asked to; where it cannot, there is no bar.
  stderrIsTerminal = GetConsoleMode(error, &mode) &&
                     SetConsoleMode(error, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::vector<std::string> ToolArguments(int, char**) {
  std::vector<std::string> words;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return words;
  for (int i = 1; i < count; ++i) words.push_back(Utf8(arguments[i], std::wcslen(arguments[i])));
  LocalFree(arguments);
  return words;
}

std::string EnvironmentValue(const char* name) {
  const wchar_t* value = _wgetenv(Wide(name).c_str());
  return value == nullptr ? std::string() : Utf8(value, std::wcslen(value));
}

namespace {

// Text in a code page to wide characters; false when it holds a byte sequence the code page
// does not define.
bool StrictlyWide(const std::string& text, UINT codePage, std::wstring& wide) {
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return false;
  wide.assign(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      &wide[0], length);
  return true;
}

}  // namespace

bool ConvertFromUtf8(const std::string& utf8, int codePage, std::string& converted) {
  converted.clear();
  std::wstring wide;
  if (utf8.empty()) return true;
  if (!StrictlyWide(utf8, CP_UTF8, wide)) return false;
  const int wideLength = static_cast<int>(wide.size());
  // No best fit ("ä" for "ā"), and a character without counterpart shows as the default one.
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                         nullptr, 0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  converted.assign(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &converted[0], length,
                      nullptr, &usedDefault);
  return !usedDefault;
}

bool ConvertToUtf8(const std::string& text, int codePage, std::string& utf8) {
  utf8.clear();
  std::wstring wide;
  if (text.empty()) return true;
  if (!StrictlyWide(text, static_cast<UINT>(codePage), wide)) return false;
  utf8 = Utf8(wide);
  return true;
}

std::FILE* OpenFileForReading(const std::string& path) { return _wfopen(Wide(path).c_str(), L"rb"); }

void RemoveOnInterrupt(const std::string& path) {
  removalPending = 0;
  const std::wstring wide = Wide(path);
  if (wide.empty() || wide.size() >= sizeof pendingRemoval / sizeof pendingRemoval[0]) return;
  std::memcpy(pendingRemoval, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  static const bool installed = SetConsoleCtrlHandler(RemovePendingFile, TRUE);
  (void)installed;
  removalPending = 1;
}

bool ReadSourceFileInfo(const std::string& path, TSourceFileInfo& info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    SetErrnoFromLastError();
    return false;
  }
  info.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.dateTime = LocalDateTime(data.ftLastWriteTime);
  // File times count 100 ns ticks from 1601-01-01, 11644473600 seconds before 1970.
  const uint64_t ticks = (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  info.unixTime = static_cast<long long>(ticks / 10000000) - 11644473600LL;
  return true;
}

bool StderrIsTerminal() { return stderrIsTerminal; }

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &screen)) {
    const int columns = screen.srWindow.Right - screen.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

std::string ExecutableDirectory() {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::string();
  buffer.resize(length);
  const size_t separator = buffer.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::string() : Utf8(buffer.substr(0, separator));
}

std::FILE* CreateTemporaryFile(const std::string& folder, std::string& path) {
  const std::string base = (folder.empty() ? std::string(".") : folder) + "\\.sfxpack-";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "%lx-%lx", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount() + ++counter));
    const std::string candidate = base + suffix;
    const HANDLE handle = CreateFileW(Wide(candidate).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    std::FILE* file = StreamOf(handle, 0, "wb");
    if (file != nullptr) path = candidate;
    return file;
  }
  errno = EEXIST;
  return nullptr;
}

bool MakeExecutable(const std::string&) { return true; }  // Windows runs any .exe

bool MoveIntoPlace(const std::string& from, const std::string& to) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  SetErrnoFromLastError();
  return false;
}

std::FILE* CreateNewFile(const std::string& path) {
  const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return StreamOf(handle, 0, "wb");
}

bool IsSymbolicLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::string LastSystemErrorText() { return std::strerror(errno); }

// Here the input is read into one heap block behind the prefix: simple and the same for a
// file and for standard input. Unlike the POSIX mapping its memory grows with the input, which
// only matters for stream commands on inputs of several hundred megabytes.
MappedInput::MappedInput(const std::string& path, size_t prefixSize) : prefixSize_(prefixSize) {
  const std::string shown = path == "-" ? "stdin" : path;
  std::FILE* file = path == "-" ? stdin : OpenFileForReading(path);
  if (file == nullptr) FailOnFile(shown, LastSystemErrorText());
  if (path == "-") _setmode(_fileno(stdin), _O_BINARY);
  size_t capacity = prefixSize + (1 << 20);
  area_ = static_cast<uint8_t*>(std::malloc(capacity));
  size_t used = prefixSize;
  size_t got = 1;
  while (area_ != nullptr && got > 0) {
    if (used == capacity) {
      capacity *= 2;
      uint8_t* grown = static_cast<uint8_t*>(std::realloc(area_, capacity));
      if (grown == nullptr) std::free(area_);
      area_ = grown;
      if (area_ == nullptr) break;
    }
    got = std::fread(area_ + used, 1, capacity - used, file);
    used += got;
  }
  const bool failed = area_ == nullptr || std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (area_ == nullptr) FailOnFile(shown, "not enough memory to read it");
  if (failed) FailOnFile(shown, "read error");
  areaSize_ = used;
  fileSize_ = used - prefixSize;
  text_ = area_;
}

MappedInput::~MappedInput() { std::free(area_); }

void MappedInput::Release(size_t) {}
