#include <windows.h>


#include "tests/host/host_test_support.h"

uint32_t LastWriteDosStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return static_cast<uint32_t>(date) << 16 | time;
}

bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second) {
  const auto w = [](int value) { return static_cast<WORD>(value); };
  const SYSTEMTIME system = {w(year), w(month), 0, w(day), w(hour), w(minute), w(second), 0};
  FILETIME local;
  FILETIME universal;
  if (!SystemTimeToFileTime(&system, &local) || !LocalFileTimeToFileTime(&local, &universal)) {
    return false;
  }
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool done = SetFileTime(file, nullptr, nullptr, &universal) != 0;
  CloseHandle(file);
  return done;
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}
