#include "host/files.h"

namespace {

FileSystem* gCurrentFileSystem = nullptr;

}  // namespace

FileSystem& CurrentFileSystem() {
  return gCurrentFileSystem != nullptr ? *gCurrentFileSystem : PlatformFileSystem();
}

void SetCurrentFileSystem(FileSystem* fileSystem) { gCurrentFileSystem = fileSystem; }

FileHandle OpenExistingFile(const std::string& path, int mode) {
  return CurrentFileSystem().OpenExisting(path, mode);
}

FileHandle CreateEmptyFile(const std::string& path) { return CurrentFileSystem().CreateEmpty(path); }

int32_t ReadFileBytes(FileHandle handle, void* buffer, int32_t count) {
  return CurrentFileSystem().Read(handle, buffer, count);
}

int32_t WriteFileBytes(FileHandle handle, const void* buffer, int32_t count) {
  return CurrentFileSystem().Write(handle, buffer, count);
}

int32_t SeekFile(FileHandle handle, int32_t offset, int origin) {
  return CurrentFileSystem().Seek(handle, offset, origin);
}

void CloseFileHandle(FileHandle handle) { CurrentFileSystem().Close(handle); }

bool FileIsPresent(const std::string& path) { return CurrentFileSystem().IsPresent(path); }

bool IsDirectory(const std::string& path) { return CurrentFileSystem().IsDirectory(path); }

bool MakeDirectory(const std::string& path) { return CurrentFileSystem().MakeDirectory(path); }
bool MakePrivateDirectory(const std::string& path) { return CurrentFileSystem().MakePrivateDirectory(path); }
bool RemoveFolder(const std::string& path) { return CurrentFileSystem().RemoveFolder(path); }
int64_t FreeDiskSpace(const std::string& folder) { return CurrentFileSystem().FreeSpace(folder); }

bool RemoveFile(const std::string& path) { return CurrentFileSystem().Remove(path); }

int SetAttributes(const std::string& path, uint32_t attributes) {
  return CurrentFileSystem().SetAttributes(path, attributes);
}

int SetFileStamp(FileHandle handle, uint32_t dosStamp) {
  return CurrentFileSystem().SetStamp(handle, dosStamp);
}
