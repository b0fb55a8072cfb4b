// The platform's own view of a file's time and read-only state, so that the host services are
// checked against something else; implemented per platform (tests/host/posix, tests/host/win32).
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/scratch_folder.h"

uint32_t LastWriteDosStamp(const std::string& path);  // local time; 0 when it cannot be read
bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second);
bool IsReadOnly(const std::string& path);
