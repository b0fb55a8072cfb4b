// The real disk for the archive tests, in the host's form of paths: folder / "name".
#pragma once

#include <string>
#include <vector>

#include "host/platform.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"

struct TempFolder : ScratchFolder {
  std::string operator/(const std::string& name) const { return Internal(name); }
};
inline void WriteDiskFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(NativePath(path), bytes);
}
inline bool DiskFileExists(const std::string& path) { return Exists(NativePath(path)); }
inline std::vector<uint8_t> ReadDiskFile(const std::string& path) { return ReadBytes(NativePath(path)); }
inline std::string ReadDiskText(const std::string& path) { return ReadText(NativePath(path)); }
