#include "archive/extraction.h"

#include "archive/config.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "archive/member.h"
#include "host/convert.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "host/platform.h"
#include "host/textfile.h"
#include "lzh/lzh.h"
#include "ui/user_interface.h"

namespace {

constexpr uint16_t kStreamBufferSize = 4096;

std::string BuildCommand(const std::string& dirSep, const TConfiguration& config) {
  std::string command = config.executable;
  if (!command.empty()) command = dirSep + command;
  if (!config.parameters.empty() && !command.empty()) command += " " + config.parameters;
  return command;
}

// The configuration file is read back once, completely, and every key is taken from that one
// reading: were it opened again per key, a failure for one key (a virus scanner holding the
// file) would make that key read as missing, and a missing OverWrite replaces kept files
// without asking. The file was just written, so one that cannot be opened or read again, or
// has vanished, is a failed member, not a configuration without keys.
bool ReadConfiguration(const std::string& configFile, std::string& content) {
  const int error = ReadConfigText(configFile, content);
  if (error == 0) return true;
  ReportFileFailure("Error reading file", configFile, EInOutError::MessageFor(error));
  return false;
}

int32_t StoredSizeTotal() {
  int64_t total = 0;
  for (int i = 0; i < EntryCount(); ++i)
    total += ParseInteger(EntryField(GetEntry(i), kEntrySeparator, kFieldStoredSize));
  return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

bool RunStopped() { return CancelRequested || ExtractionFailed; }

// Members in directory order, the configuration member (the last) excepted. Only what was
// written is listed, under the path it was written to, so the clean-up deletes exactly that.
void ExtractMembers(const std::string& targetDirectory, const TConfiguration& p, TextFile& deleteList) {
  for (int i = 0; i < EntryCount() - 1 && !RunStopped(); ++i) {
    const TMemberResult result =
        ExtractMember(i, targetDirectory, p.useDirs, p.overwrite, p.attributes, p.fileDate);
    if (result.written) deleteList.WriteLine(result.target);
  }
}

}  // namespace

std::string ExtractArchiveAt(const std::string& archivePath, int32_t offset,
                             const std::string& targetDirectory) {
  CancelRequested = false;
  ExtractionFailed = false;
  FullRepaintPending = true;
  std::string command;
  ResetEntries();
  if (!ReadArchiveDirectoryAt(archivePath, offset)) {
    ClearEntries();
    return command;
  }
  // The run needs at least the configuration member.
  if (EntryCount() == 0) {
    CurrentUserInterface().ShowMessage(kInvalidArchiveText, kArchiveReadErrorCaption, kMessageExclamation);
    ClearEntries();
    return command;
  }
  SetInputBufferSize(kStreamBufferSize);
  SetOutputBufferSize(kStreamBufferSize);
  LzhReadProc = ReadMemberBytes;
  LzhWriteProc = WriteMemberBytes;
  RunTotal = StoredSizeTotal();
  RunBytesRead = 0;
  if (!OpenArchiveData()) {
    ClearEntries();
    return command;
  }
  const std::string dirSep = WithBackslash(targetDirectory);
  const std::string configFile =
      ExtractMember(EntryCount() - 1, targetDirectory, false, true, false, false).target;
  // After a failed or cancelled configuration member the loop does not run and no command is
  // returned, whatever the partial file would say.
  std::string content;
  TConfiguration config;  // every flag on
  if (!RunStopped() && ReadConfiguration(configFile, content)) {
    config = ParseConfiguration(content, configFile);
    command = BuildCommand(dirSep, config);
  }
  RemoveFile(configFile);
  TextFile deleteList;
  deleteList.Create(dirSep + kDeleteListName);
  ExtractMembers(targetDirectory, config, deleteList);
  deleteList.Close();
  CloseArchiveData();
  ClearEntries();
  if (RunStopped()) command.clear();
  CancelRequested = false;
  return command;
}

std::string ExtractArchive(const std::string& targetDirectory) {
  const int32_t offset = ParseInteger(ArchiveOffsetText());
  return ExtractArchiveAt(ModuleFileName(), offset, targetDirectory);
}
