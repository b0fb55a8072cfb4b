#include "archive/member.h"

#include <algorithm>
#include <vector>

#include "archive/crc32.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "host/convert.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "lzh/lzh_stream.h"

namespace {

constexpr char kInvalidDirectoryText[] = "This is not a valid directory name";
constexpr char kErrorCaption[] = "Error";
constexpr char kDamagedInstallerText[] = "The installer is damaged.";
constexpr int kSeekFromStart = 0;
constexpr uint16_t kStreamBufferSize = 4096;
// The decoder hands over 4 KB at a time; the target file is written in blocks of this size,
// which saves most of the system calls (and, on Windows, most of the file-system filter work).
constexpr size_t kFileWriteBlock = 64 * 1024;
constexpr int32_t kFileReadBlock = 64 * 1024;  // the archive is read ahead in blocks of this size

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

// One member being written: owned by ExtractMember for the length of one member, handed to
// the decoder's procedures as their context.
struct TMemberStream {
  TMemberStream(TExtractionRun& run, FileHandle targetFile, const std::string& target, int32_t storedSize,
                int32_t unpackedSize)
      : run(run), targetFile(targetFile), currentTarget(target), storedSize(storedSize), unpackedSize(unpackedSize) {}

  TExtractionRun& run;
  FileHandle targetFile;
  const std::string& currentTarget;
  int32_t storedSize;    // the read procedure delivers no more than this
  int32_t unpackedSize;  // the write procedure writes no more than this
  int32_t bytesRead = 0;     // delivered to the decoder
  int32_t bytesFetched = 0;  // read from the archive into the read-ahead block
  int32_t aheadPosition = 0, aheadEnd = 0;  // the part of the read-ahead block not yet delivered
  std::string shortReadReason;  // why the last read-ahead fell short; empty while none did
  int64_t bytesDecoded = 0;  // everything the decoder handed over, surplus included
  int64_t bytesKept = 0;  // handed to the file, written or still pending
  uint32_t crc = 0;       // of the bytes kept so far
  TFailure failure;

  // The first failure ends the member: nothing more is read or written.
  void Fail(TFailure what) {
    if (!failure.Happened()) failure = std::move(what);
  }
};

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

// Reads the next block of the member's stored bytes. A block that falls short is delivered as
// far as it goes; the failure is told when the decoder asks past it, as a direct read would.
void ReadAhead(TMemberStream& m) {
  std::vector<uint8_t>& block = m.run.readAhead;
  block.resize(kFileReadBlock);
  const int32_t want = std::min(kFileReadBlock, m.storedSize - m.bytesFetched);
  const int32_t got = ReadFileBytes(m.run.archiveDataFile, block.data(), want);
  if (got != want) m.shortReadReason = TransferFailureText(got, kErrorReadPastEnd);
  m.aheadPosition = 0;
  m.aheadEnd = std::max<int32_t>(got, 0);
  m.bytesFetched += m.aheadEnd;
}

void ReadMemberBytes(void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  TMemberStream& m = *static_cast<TMemberStream*>(context);
  const int32_t n = std::min<int32_t>(requested, m.storedSize - m.bytesRead);
  int32_t got = 0;
  if (!m.run.cancelRequested && !m.failure.Happened() && n > 0) {
    while (got < n) {
      if (m.aheadPosition == m.aheadEnd) {
        if (!m.shortReadReason.empty()) break;
        ReadAhead(m);
        if (m.aheadEnd == 0) break;
      }
      const int32_t part = std::min(n - got, m.aheadEnd - m.aheadPosition);
      std::copy_n(m.run.readAhead.data() + m.aheadPosition, part, buffer + got);
      m.aheadPosition += part;
      got += part;
    }
    if (got != n) m.Fail(FileFailure("Error reading archive file", m.run.directory.archivePath, m.shortReadReason));
  }
  delivered = static_cast<uint16_t>(got);
  m.bytesRead += got;
  m.run.runBytesRead = SaturatingAdd(m.run.runBytesRead, got);
}

// Writes what the write procedure kept and has not yet reached the file.
void FlushPendingOutput(TMemberStream& m) {
  std::vector<uint8_t>& pending = m.run.pendingOutput;
  if (!pending.empty() && !m.failure.Happened()) {
    const int32_t n = static_cast<int32_t>(pending.size());
    const int32_t done = WriteFileBytes(m.targetFile, pending.data(), n);
    if (done != n)
      m.Fail(FileFailure("Error writing file", m.currentTarget, TransferFailureText(done, kErrorDiskFull),
                         StubEnding::WriteFailed));
  }
  pending.clear();
}

// Keeps no byte past the member's recorded size, so a surplus symbol at the stream's end
// never reaches the file; the surplus is still counted for the length check.
void WriteMemberBytes(void* context, const uint8_t* buffer, uint16_t count, uint16_t& written) {
  TMemberStream& m = *static_cast<TMemberStream*>(context);
  const int64_t room = std::max<int64_t>(m.unpackedSize - m.bytesKept, 0);
  const int32_t n = m.failure.Happened() ? 0 : static_cast<int32_t>(std::min<int64_t>(count, room));
  std::vector<uint8_t>& pending = m.run.pendingOutput;
  if (pending.size() + static_cast<size_t>(n) > kFileWriteBlock) FlushPendingOutput(m);
  if (!m.failure.Happened() && n > 0) {
    pending.insert(pending.end(), buffer, buffer + n);
    if (m.run.directory.checksumsPresent) m.crc = Crc32Update(m.crc, buffer, static_cast<size_t>(n));
    m.bytesKept += n;
  }
  written = static_cast<uint16_t>(n);
  m.bytesDecoded += count;
  m.run.observer.Progress(m.currentTarget, m.run.runBytesRead, m.run.runTotal);
}

// Decodes the member into its target file; the member's data lies inside the archive file
// (the directory reader checked that), so a failed seek or short read means the file changed.
// A member that decodes to the wrong length is damaged, and so, with checksums, is one whose
// written bytes do not match: the run stops as for a failed read, so nothing is started
// with it.
TFailure DecodeMember(TExtractionRun& run, int index, const TEntryFields& f, FileHandle targetFile,
                      const std::string& target) {
  TMemberStream m(run, targetFile, target, f.storedSize, f.unpackedSize);
  const int32_t position = run.directory.dataStart + f.offset;
  if (SeekFile(run.archiveDataFile, position, kSeekFromStart) != position)
    return FileFailure("Error reading archive file", run.directory.archivePath, LastErrorText());
  run.pendingOutput.reserve(kFileWriteBlock);
  try {
    lzh::DecodeStream({ReadMemberBytes, WriteMemberBytes, &m}, kStreamBufferSize, kStreamBufferSize);
  } catch (...) {
    FlushPendingOutput(m);    // the file holds what was decoded, as after a cancel
    run.failure = m.failure;  // a failure met before is still told, ahead of the top-level report
    throw;
  }
  FlushPendingOutput(m);
  if (run.cancelRequested || m.failure.Happened()) return m.failure;
  if (!DecodedSizeFits(m.bytesDecoded, f.unpackedSize))
    return {kInvalidArchiveText, kArchiveReadErrorCaption};
  if (run.directory.checksumsPresent && m.crc != run.directory.memberChecksums[static_cast<size_t>(index)])
    return FileFailure("Checksum error in file", target, kDamagedInstallerText);
  return {};
}

}  // namespace

TFailure FileFailure(const char* what, const std::string& path, const std::string& reason, StubEnding ending) {
  return {std::string(what) + " " + path + ".\r\n" + reason, kErrorCaption, ending};
}

bool OpenArchiveData(TExtractionRun& run) {
  std::string reason;
  try {
    run.archiveDataFile = OpenExistingFile(run.directory.archivePath, kModeReadShared);
    if (run.archiveDataFile != kInvalidHandle) return true;
    reason = LastErrorText();
  } catch (const Exception& failure) {
    reason = failure.Message();
  }
  run.failure = {"Error opening archive file.\r\n" + reason, kErrorCaption};
  return false;
}

void CloseArchiveData(TExtractionRun& run) {
  CloseFileHandle(run.archiveDataFile);
  run.archiveDataFile = kInvalidHandle;
}

TMemberResult ExtractMember(TExtractionRun& run, int index, const std::string& targetDirectory,
                            const TExtractionPolicy& policy) {
  const TEntryFields f = ParseEntry(run.directory.entries.GetEntry(index));
  const uint32_t stamp = DateTimeToDosStamp(static_cast<double>(f.dateTime));
  TMemberResult result;
  result.target = TargetPathOf(targetDirectory, f.name, policy.useDirs);
  // The folder is made also for a member that is then skipped.
  CreateDirectoryChain(DirectoryOf(result.target), run.createdFolders);
  if (!PrepareTarget(run, result.target, policy.overwrite)) return result;
  const FileHandle targetFile = CreateEmptyFile(result.target);
  if (targetFile == kInvalidHandle) {
    result.failure = FileFailure("Error creating file", result.target, LastErrorText(), StubEnding::WriteFailed);
    return result;
  }
  result.written = true;
  run.createdFiles.push_back(result.target);
  try {
    result.failure = DecodeMember(run, index, f, targetFile, result.target);
  } catch (...) {
    CloseFileHandle(targetFile);
    throw;
  }
  CloseFileHandle(targetFile);
  if (policy.setDate) ApplyDate(result.target, stamp);
  if (policy.setAttributes) SetAttributes(result.target, static_cast<uint32_t>(f.attributes));
  return result;
}

std::string TargetNameOf(const std::string& storedName, bool useDirs) {
  if (!useDirs) return FileNameOf(storedName);
  return !storedName.empty() && storedName[0] == '\\' ? storedName.substr(1) : storedName;
}

std::string TargetPathOf(const std::string& directory, const std::string& storedName, bool useDirs) {
  return WithBackslash(directory) + TargetNameOf(storedName, useDirs);
}

// Parents first. Walks up to the first directory that exists (or a drive, two characters),
// then creates downwards; iterative, so that a name of thousands of components cannot
// exhaust the stack.
void CreateDirectoryChain(const std::string& directory, std::vector<std::string>& created) {
  std::vector<std::string> missing;
  std::string text = directory;
  for (;;) {
    if (text.empty()) throw Exception(kInvalidDirectoryText);
    if (text.back() == '\\') text.pop_back();
    if (text.size() <= 2 || IsDirectory(text)) break;
    missing.push_back(text);
    text = DirectoryOf(text);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!MakeDirectory(*it)) throw Exception(kInvalidDirectoryText);
    created.push_back(*it);
  }
}

bool PrepareTarget(TExtractionRun& run, const std::string& path, bool overwrite) {
  if (!FileIsPresent(path)) return true;
  if (!overwrite) {
    switch (run.observer.AskOverwrite(path)) {
      case OverwriteAnswer::Yes:
        break;
      case OverwriteAnswer::No:
        return false;
      case OverwriteAnswer::Cancel:
        run.cancelRequested = true;
        return false;
    }
  }
  SetAttributes(path, 0);
  RemoveFile(path);
  return true;
}
