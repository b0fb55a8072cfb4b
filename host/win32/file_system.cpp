#include "host/win32/win32_file_system.h"

FileSystem& PlatformFileSystem() {
  static win32_files::BasicWin32FileSystem<win32_files::AnsiPaths> fileSystem;
  return fileSystem;
}
