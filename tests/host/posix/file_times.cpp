#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>

#include "host/platform.h"
#include "tests/host/host_test_support.h"

uint32_t LastWriteDosStamp(const std::string& path) {
  struct stat status;
  if (stat(NativePath(path).c_str(), &status) != 0) return 0;
  struct tm local;
  if (localtime_r(&status.st_mtime, &local) == nullptr) return 0;
  const uint32_t date = static_cast<uint32_t>(local.tm_year + 1900 - 1980) << 9 |
                        static_cast<uint32_t>(local.tm_mon + 1) << 5 |
                        static_cast<uint32_t>(local.tm_mday);
  const uint32_t time = static_cast<uint32_t>(local.tm_hour) << 11 |
                        static_cast<uint32_t>(local.tm_min) << 5 |
                        static_cast<uint32_t>(local.tm_sec / 2);
  return date << 16 | time;
}

bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second) {
  struct tm local = {};
  local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
  local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
  const time_t when = mktime(&local);
  const struct timeval times[2] = {{when, 0}, {when, 0}};
  return utimes(NativePath(path).c_str(), times) == 0;
}

bool IsReadOnly(const std::string& path) {
  struct stat status;
  return stat(NativePath(path).c_str(), &status) == 0 &&
         (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
