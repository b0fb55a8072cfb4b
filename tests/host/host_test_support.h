// Shared by the host tests: whole files through the services, and the platform's own view
// of a file's time and read-only state, so the services are checked against something else.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/scratch_folder.h"

void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);  // "<missing>" when it cannot be opened

// Implemented per platform (tests/host/posix, tests/host/win32).
uint32_t LastWriteDosStamp(const std::string& path);  // local time; 0 when it cannot be read
bool SetLastWriteLocalTime(const std::string& path, int year, int month, int day, int hour,
                           int minute, int second);
bool IsReadOnly(const std::string& path);
