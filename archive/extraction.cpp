#include "archive/extraction.h"

#include "archive/config.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "archive/member.h"
#include "host/convert.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "host/platform.h"
#include "host/textfile.h"

namespace {

std::string BuildCommand(const std::string& dirSep, const TConfiguration& config) {
  std::string command = config.executable;
  if (!command.empty()) command = dirSep + command;
  if (!config.parameters.empty() && !command.empty()) command += " " + config.parameters;
  return command;
}

// The configuration file is read back once, completely, before any key is taken. On Win32 each
// key is still asked of the system's profile reader, which opens and reads the file again for
// every key, so that the system's reading stands wherever it gives a value; where that reading
// fails for one key (a virus scanner holding the file) the key comes from the text read here
// instead of reading as missing, for a missing OverWrite replaces kept files without asking.
// Elsewhere every key comes from that text (ConfigTextValue). The file was just written, so
// one that cannot be opened or read again, or has vanished, is a failed member, not a
// configuration without keys.
bool ReadConfiguration(TExtractionRun& run, const std::string& configFile, std::string& content) {
  const int error = ReadConfigText(configFile, content);
  if (error == 0) return true;
  run.failure = FileFailure("Error reading file", configFile, EInOutError::MessageFor(error), StubEnding::WriteFailed);
  return false;
}

// The sum of one size field over every entry (the directory reader refuses negative sizes).
int64_t FieldTotal(const TEntryList& entries, int field) {
  int64_t total = 0;
  for (int i = 0; i < entries.EntryCount(); ++i)
    total += ParseInteger(EntryField(entries.GetEntry(i), kEntrySeparator, field));
  return total;
}

int32_t StoredSizeTotal(const TEntryList& entries) {
  const int64_t total = FieldTotal(entries, kFieldStoredSize);
  return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

// Every failure, memory exhaustion included, is a damaged archive here, and so is a directory
// without the configuration member, which the run needs.
bool ReadDirectory(TExtractionRun& run, const std::string& archivePath, int32_t offset) {
  try {
    LoadArchiveDirectory(archivePath, offset, run.directory);
    if (run.directory.entries.EntryCount() > 0) return true;
  } catch (...) {
  }
  run.failure = {kInvalidArchiveText, kArchiveReadErrorCaption};
  return false;
}

// Members in directory order, the configuration member (the last) excepted. Only what was
// written is listed, under the path it was written to, so the clean-up deletes exactly that.
void ExtractMembers(TExtractionRun& run, const TExtractionPolicy& policy, TextFile& deleteList) {
  for (int i = 0; i < run.directory.entries.EntryCount() - 1 && !run.Stopped(); ++i) {
    const TMemberResult result = ExtractMember(run, i, run.memberDirectory, policy);
    run.failure = result.failure;
    if (result.written) deleteList.WriteLine(result.target);
  }
}

// Kilobytes, rounded up, without a 64-bit division (the i686 stub links no division routine).
std::string KilobytesText(int64_t bytes) {
  const int64_t kilobytes = (bytes + 1023) >> 10;
  return IntegerText(kilobytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(kilobytes)) + " KB";
}

// Everything the members unpack to must fit before the first is written, so that a full disk
// never leaves a run half done. A volume whose free space the system does not tell is tried.
bool CheckDiskSpace(TExtractionRun& run, const std::string& targetDirectory) {
  const int64_t needed = FieldTotal(run.directory.entries, kFieldUnpackedSize);
  const int64_t free = FreeDiskSpace(targetDirectory);
  if (free < 0 || needed <= free) return true;
  run.failure = {"Not enough disk space in " + WithBackslash(targetDirectory) + ".\r\n" + KilobytesText(needed) +
                     " needed, " + KilobytesText(free) + " free.",
                 "Error", StubEnding::NoSpace};
  return false;
}

TExtractionPolicy PolicyOf(const TConfiguration& config) {
  return {config.useDirs, config.overwrite, config.attributes, config.fileDate};
}

}  // namespace

std::string ExtractArchiveAt(TExtractionRun& run, const std::string& archivePath, int32_t offset,
                             const std::string& targetDirectory) {
  run.cancelRequested = run.cancelled = false;
  run.failure = {};
  run.memberDirectory = WithBackslash(targetDirectory);
  run.createdFolders.clear();
  run.createdFiles.clear();
  std::string command;
  TEntryList& entries = run.directory.entries;
  entries.ResetEntries();
  if (!ReadDirectory(run, archivePath, offset)) {
    entries.ClearEntries();
    return command;
  }
  run.runTotal = StoredSizeTotal(entries);
  run.runBytesRead = 0;
  if (!CheckDiskSpace(run, targetDirectory) || !OpenArchiveData(run)) {
    entries.ClearEntries();
    return command;
  }
  const TMemberResult configMember = ExtractMember(run, entries.EntryCount() - 1, targetDirectory, kConfigMemberPolicy);
  run.failure = configMember.failure;
  const std::string& configFile = configMember.target;
  // After a failed or cancelled configuration member the loop does not run and no command is
  // returned, whatever the partial file would say.
  std::string content;
  TConfiguration config;  // every flag on
  if (!run.Stopped() && ReadConfiguration(run, configFile, content)) {
    config = ParseConfiguration(content, configFile);
    if (!config.runFolder && !run.sharedDirectory.empty()) run.memberDirectory = WithBackslash(run.sharedDirectory);
    command = BuildCommand(run.memberDirectory, config);
  }
  run.passArguments = config.passArguments;
  run.waitAll = config.waitAll;
  RemoveFile(configFile);
  TextFile deleteList;
  deleteList.Create(run.memberDirectory + kDeleteListName);
  ExtractMembers(run, PolicyOf(config), deleteList);
  deleteList.Close();
  CloseArchiveData(run);
  entries.ClearEntries();
  run.cancelled = run.cancelRequested;
  if (run.Stopped()) command.clear();
  run.cancelRequested = false;
  return command;
}

std::string ExtractArchive(TExtractionRun& run, const std::string& targetDirectory) {
  const int32_t offset = ParseInteger(ArchiveOffsetText());
  return ExtractArchiveAt(run, ModuleFileName(), offset, targetDirectory);
}
