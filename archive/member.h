// Member extraction: writes one member of the run's entry list below a target directory, with
// the UseDirs, OverWrite, FileDate and Attributes policies, driving the decoder through the
// member's read and write procedures.
#pragma once

#include <cstdint>
#include <string>

#include "archive/run_state.h"

struct TMemberResult {
  std::string target;    // the path BuildTargetPath gave
  bool written = false;  // created (in full, cut short, or failed midway); false when skipped
  TFailure failure;      // what went wrong, when something did; the run stops at it
};

// The failure "`what` `path`.\r\n`reason`" with caption "Error".
TFailure FileFailure(const char* what, const std::string& path, const std::string& reason);

// Opens the run's archive file again for the member data; false (and the run's failure set)
// when it cannot be opened.
bool OpenArchiveData(TExtractionRun& run);
void CloseArchiveData(TExtractionRun& run);

TMemberResult ExtractMember(TExtractionRun& run, int index, const std::string& targetDirectory, bool useDirs,
                            bool overwrite, bool setAttributes, bool setDate);

std::string BuildTargetPath(const std::string& directoryWithSeparator,
                            const std::string& storedName, bool useDirs);
void CreateDirectoryChain(const std::string& directory);
// Whether the member is written: asks when the target exists and `overwrite` is off (Cancel
// sets the run's cancel request), then clears the way.
bool PrepareTarget(TExtractionRun& run, const std::string& path, bool overwrite);
