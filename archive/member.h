// Member extraction: writes one member of the entry list below a target directory, with the
// UseDirs, OverWrite, FileDate and Attributes policies, driving the decoder through the read
// and write procedures below.
#pragma once

#include <cstdint>
#include <string>

#include "host/files.h"
#include "ui/user_interface.h"

// Run state shared with the extraction run (process-global, one run at a time).
extern FileHandle ArchiveDataFile;
extern FileHandle TargetFile;
extern std::string CurrentTarget;
extern int32_t MemberStoredSize;    // the read procedure delivers no more than this
extern int32_t MemberBytesRead;
extern int32_t MemberUnpackedSize;  // the write procedure writes no more than this
extern int64_t MemberBytesDecoded;  // everything the decoder handed over, surplus included
extern int32_t RunBytesRead;
extern int32_t RunTotal;
// Set when a target could not be created or written, the archive could not be read, or a
// member decoded to the wrong length; the user has been told. The run then ends like a cancel.
extern bool ExtractionFailed;

// A decoder may hand over at most one match beyond the stream's end (its longest match is 60
// bytes); more than that means the stream does not belong to this entry.
constexpr int32_t kMaxDecodeSurplus = 60;

struct TMemberResult {
  std::string target;    // the path BuildTargetPath gave
  bool written = false;  // created (in full, cut short, or failed midway); false when skipped
};

// Tells the user that `what` failed for `path` and why (caption "Error"), unless a failure of
// this run has been told already, and sets ExtractionFailed.
void ReportFileFailure(const char* what, const std::string& path, const std::string& reason);

bool OpenArchiveData();
void CloseArchiveData();

TMemberResult ExtractMember(int index, const std::string& targetDirectory, bool useDirs,
                            bool overwrite, bool setAttributes, bool setDate);

std::string BuildTargetPath(const std::string& directoryWithSeparator,
                            const std::string& storedName, bool useDirs);
void CreateDirectoryChain(const std::string& directory);
bool PrepareTarget(const std::string& path, bool overwrite);
OverwriteAnswer AskOverwrite(const std::string& path);

void ReadMemberBytes(uint8_t* buffer, uint16_t requested, uint16_t& delivered);
void WriteMemberBytes(const uint8_t* buffer, uint16_t count, uint16_t& written);
