// Whole files on the real disk for the archive tests, named in the host's form of paths.
#pragma once

#include <string>
#include <vector>

#include "host/platform.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"

inline void WriteDiskFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(NativePath(path), bytes);
}
inline bool DiskFileExists(const std::string& path) { return Exists(NativePath(path)); }
inline std::vector<uint8_t> ReadDiskFile(const std::string& path) { return ReadBytes(NativePath(path)); }
inline std::string ReadDiskText(const std::string& path) { return ReadText(NativePath(path)); }
