#include "tools/sfxpack/packing/output_file.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <filesystem>

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/tool_platform.h"

std::string FolderOfNativePath(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::u8path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.u8string();
}

AtomicOutputFile::AtomicOutputFile(const std::string& path) : path_(path) {
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::u8path(path), error)) FailOnFile(path, "is a folder");
  file_ = CreateTemporaryFile(FolderOfNativePath(path), temporaryPath_);
  if (file_ == nullptr) FailOnFile(path, "cannot create a file beside it: " + LastSystemErrorText());
  RemoveOnInterrupt(temporaryPath_);
}

AtomicOutputFile::~AtomicOutputFile() {
  RemoveOnInterrupt("");
  if (file_ != nullptr) std::fclose(file_);
  std::error_code error;
  if (!committed_ && !temporaryPath_.empty()) std::filesystem::remove(std::filesystem::u8path(temporaryPath_), error);
}

void AtomicOutputFile::Fail(const std::string& reason) { FailOnFile(path_, reason); }

void AtomicOutputFile::Write(const uint8_t* data, size_t size) {
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    Fail("write failed: " + LastSystemErrorText());
  }
}

void AtomicOutputFile::Flush() {
  if (std::fflush(file_) != 0) Fail("write failed: " + LastSystemErrorText());
}

void AtomicOutputFile::Commit() {
  const bool flushed = std::fflush(file_) == 0;
  const std::string flushError = LastSystemErrorText();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) Fail("write failed: " + (flushed ? LastSystemErrorText() : flushError));
  MakeExecutable(temporaryPath_);
  RemoveOnInterrupt("");
  if (!MoveIntoPlace(temporaryPath_, path_)) {
    Fail("cannot rename the finished file into place: " + LastSystemErrorText());
  }
  committed_ = true;
}
