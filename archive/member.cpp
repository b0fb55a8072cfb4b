#include "archive/member.h"

#include <algorithm>
#include <vector>

#include "archive/crc32.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "host/convert.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "lzh/lzh.h"

FileHandle ArchiveDataFile = kInvalidHandle;
FileHandle TargetFile = kInvalidHandle;
std::string CurrentTarget;
int32_t MemberStoredSize = 0;
int32_t MemberBytesRead = 0;
int32_t MemberUnpackedSize = 0;
int64_t MemberBytesDecoded = 0;
int32_t RunBytesRead = 0;
int32_t RunTotal = 0;
bool ExtractionFailed = false;

namespace {

constexpr char kInvalidDirectoryText[] = "This is not a valid directory name";
constexpr char kErrorCaption[] = "Error";
constexpr char kDamagedInstallerText[] = "The installer is damaged.";
constexpr int kSeekFromStart = 0;

int64_t MemberBytesWritten = 0;
uint32_t MemberCrc = 0;  // of the bytes written so far

constexpr int kErrorReadPastEnd = 100;
constexpr int kErrorHandleDiskFull = 39;    // ERROR_HANDLE_DISK_FULL
constexpr int kErrorSystemDiskFull = 112;  // ERROR_DISK_FULL

// Win32 reports a full disk with codes of its own; the user is told in the words the host
// services use for it.
std::string LastErrorText() {
  const int code = CurrentFileSystem().LastError();
  const bool diskFull = code == kErrorSystemDiskFull || code == kErrorHandleDiskFull;
  return EInOutError::MessageFor(diskFull ? kErrorDiskFull : code);
}

// A transfer that failed outright has the system's reason; one that fell short without an
// error ran into the end of the file (reading) or out of space (writing).
std::string TransferFailureText(int32_t result, int shortCode) {
  return result < 0 ? LastErrorText() : EInOutError::MessageFor(shortCode);
}

// Tells the user which file failed and why, once per run; later failures follow from it.
// `what` is always a constant, taken as a C string so that no call builds a std::string of it.
void ReportFailure(const char* what, const std::string& path, const std::string& reason = LastErrorText()) {
  if (!ExtractionFailed)
    CurrentUserInterface().ShowMessage(std::string(what) + " " + path + ".\r\n" + reason, kErrorCaption,
                                       kMessageExclamation);
  ExtractionFailed = true;
}

void ReportDamagedMember() {
  if (!ExtractionFailed)
    CurrentUserInterface().ShowMessage(kInvalidArchiveText, kArchiveReadErrorCaption, kMessageExclamation);
  ExtractionFailed = true;
}

int32_t SaturatingAdd(int32_t total, int32_t amount) {
  const int64_t sum = static_cast<int64_t>(total) + amount;
  return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

struct TEntryFields {
  std::string name;
  int32_t unpackedSize, storedSize, attributes, offset;
  long double dateTime;
};

TEntryFields ParseEntry(const std::string& line) {
  TEntryFields f;
  f.name = EntryField(line, kEntrySeparator, kFieldName);
  f.unpackedSize = ParseInteger(EntryField(line, kEntrySeparator, kFieldUnpackedSize));
  f.storedSize = ParseInteger(EntryField(line, kEntrySeparator, kFieldStoredSize));
  f.attributes = ParseInteger(EntryField(line, kEntrySeparator, kFieldAttributes));
  f.dateTime = ParseFloat(EntryField(line, kEntrySeparator, kFieldDateTime));
  f.offset = ParseInteger(EntryField(line, kEntrySeparator, kFieldOffset));
  return f;
}

void ApplyDate(const std::string& target, uint32_t stamp) {
  const FileHandle file = OpenExistingFile(target, kModeWriteShared);
  SetFileStamp(file, stamp);
  CloseFileHandle(file);
}

// Decodes the member into TargetFile; the member's data lies inside the archive file (the
// directory reader checked that), so a failed seek or short read means the file changed.
// With checksums, a member whose written bytes do not match is damaged: the run stops as for
// a failed read, so nothing is started with it.
void DecodeMember(int index, const TEntryFields& f) {
  MemberBytesRead = 0;
  MemberStoredSize = f.storedSize;
  MemberUnpackedSize = f.unpackedSize;
  MemberBytesDecoded = 0;
  MemberBytesWritten = 0;
  MemberCrc = 0;
  const int32_t position = DataStart + f.offset;
  if (SeekFile(ArchiveDataFile, position, kSeekFromStart) != position) {
    ReportFailure("Error reading archive file", ArchivePath);
    return;
  }
  LzhDecode();
  const bool complete = !CancelRequested && !ExtractionFailed;
  if (complete && (MemberBytesDecoded < f.unpackedSize ||
                   MemberBytesDecoded > static_cast<int64_t>(f.unpackedSize) + kMaxDecodeSurplus))
    ReportDamagedMember();
  if (!CancelRequested && !ExtractionFailed && ChecksumsPresent &&
      MemberCrc != MemberChecksums[static_cast<size_t>(index)])
    ReportFailure("Checksum error in file", CurrentTarget, kDamagedInstallerText);
}

}  // namespace

void ReportFileFailure(const char* what, const std::string& path, const std::string& reason) {
  ReportFailure(what, path, reason);
}

bool OpenArchiveData() {
  std::string reason;
  try {
    ArchiveDataFile = OpenExistingFile(ArchivePath, kModeReadShared);
    if (ArchiveDataFile != kInvalidHandle) return true;
    reason = LastErrorText();
  } catch (const Exception& failure) {
    reason = failure.Message();
  }
  CurrentUserInterface().ShowMessage("Error opening archive file.\r\n" + reason, kErrorCaption,
                                     kMessageExclamation);
  return false;
}

void CloseArchiveData() {
  CloseFileHandle(ArchiveDataFile);
  ArchiveDataFile = kInvalidHandle;
}

TMemberResult ExtractMember(int index, const std::string& targetDirectory, bool useDirs,
                            bool overwrite, bool setAttributes, bool setDate) {
  const std::string dirSep = WithBackslash(targetDirectory);
  const TEntryFields f = ParseEntry(GetEntry(index));
  const uint32_t stamp = DateTimeToDosStamp(static_cast<double>(f.dateTime));
  TMemberResult result;
  result.target = BuildTargetPath(dirSep, f.name, useDirs);
  if (!PrepareTarget(result.target, overwrite)) return result;
  TargetFile = CreateEmptyFile(result.target);
  if (TargetFile == kInvalidHandle) {
    ReportFailure("Error creating file", result.target);
    return result;
  }
  result.written = true;
  CurrentTarget = result.target;
  try {
    DecodeMember(index, f);
  } catch (...) {
    CloseFileHandle(TargetFile);
    TargetFile = kInvalidHandle;
    throw;
  }
  CloseFileHandle(TargetFile);
  TargetFile = kInvalidHandle;
  if (setDate) ApplyDate(result.target, stamp);
  if (setAttributes) SetAttributes(result.target, static_cast<uint32_t>(f.attributes));
  return result;
}

std::string BuildTargetPath(const std::string& directoryWithSeparator,
                            const std::string& storedName, bool useDirs) {
  std::string path = WithBackslash(directoryWithSeparator);
  if (!useDirs)
    path += FileNameOf(storedName);
  else if (!storedName.empty() && storedName[0] == '\\')
    path += storedName.substr(1);
  else
    path += storedName;
  CreateDirectoryChain(DirectoryOf(path));
  return path;
}

// Parents first. Walks up to the first directory that exists (or a drive, two characters),
// then creates downwards; iterative, so that a name of thousands of components cannot
// exhaust the stack.
void CreateDirectoryChain(const std::string& directory) {
  std::vector<std::string> missing;
  std::string text = directory;
  for (;;) {
    if (text.empty()) throw Exception(kInvalidDirectoryText);
    if (text.back() == '\\') text.pop_back();
    if (text.size() <= 2 || IsDirectory(text)) break;
    missing.push_back(text);
    text = DirectoryOf(text);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (!MakeDirectory(*it)) throw Exception(kInvalidDirectoryText);
}

bool PrepareTarget(const std::string& path, bool overwrite) {
  if (!FileIsPresent(path)) return true;
  if (!overwrite) {
    switch (AskOverwrite(path)) {
      case OverwriteAnswer::Yes:
        break;
      case OverwriteAnswer::No:
        return false;
      case OverwriteAnswer::Cancel:
        CancelRequested = true;
        return false;
    }
  }
  SetAttributes(path, 0);
  RemoveFile(path);
  return true;
}

OverwriteAnswer AskOverwrite(const std::string& path) { return CurrentUserInterface().AskOverwrite(path); }

void ReadMemberBytes(uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  const int32_t remaining = MemberStoredSize - MemberBytesRead;
  const int32_t n = std::min<int32_t>(requested, remaining);
  int32_t got = 0;
  if (!CancelRequested && !ExtractionFailed && n > 0) {
    got = ReadFileBytes(ArchiveDataFile, buffer, n);
    if (got != n) {
      ReportFailure("Error reading archive file", ArchivePath, TransferFailureText(got, kErrorReadPastEnd));
      got = std::max<int32_t>(got, 0);
    }
  }
  delivered = static_cast<uint16_t>(got);
  MemberBytesRead += got;
  RunBytesRead = SaturatingAdd(RunBytesRead, got);
}

// Writes no byte past the member's recorded size, so a surplus symbol at the stream's end
// never reaches the file; the surplus is still counted for the length check.
void WriteMemberBytes(const uint8_t* buffer, uint16_t count, uint16_t& written) {
  const int64_t room = std::max<int64_t>(MemberUnpackedSize - MemberBytesWritten, 0);
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, room));
  int32_t done = 0;
  if (!ExtractionFailed && n > 0) {
    done = WriteFileBytes(TargetFile, buffer, n);
    if (done != n) {
      ReportFailure("Error writing file", CurrentTarget, TransferFailureText(done, kErrorDiskFull));
      done = std::max<int32_t>(done, 0);
    }
  }
  written = static_cast<uint16_t>(done);
  if (ChecksumsPresent) MemberCrc = Crc32Update(MemberCrc, buffer, static_cast<size_t>(done));
  MemberBytesWritten += done;
  MemberBytesDecoded += count;
  CurrentUserInterface().UpdateProgress(CurrentTarget, RunBytesRead, RunTotal);
}
