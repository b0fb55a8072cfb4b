// Member extraction: writes one member of the run's entry list below a target directory, with
// the UseDirs, OverWrite, FileDate and Attributes policies, driving the decoder through the
// member's read and write procedures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/run_state.h"

struct TMemberResult {
  std::string target;    // the path TargetPathOf gave
  bool written = false;  // created (in full, cut short, or failed midway); false when skipped
  TFailure failure;      // what went wrong, when something did; the run stops at it
};

// The failure "`what` `path`.\r\n`reason`" with caption "Error".
TFailure FileFailure(const char* what, const std::string& path, const std::string& reason,
                     StubEnding ending = StubEnding::Damaged);

// Opens the run's archive file again for the member data; false (and the run's failure set)
// when it cannot be opened.
bool OpenArchiveData(TExtractionRun& run);
void CloseArchiveData(TExtractionRun& run);

// How members are written, as the configuration's four flags set it.
struct TExtractionPolicy {
  bool useDirs = true;        // recreate the stored folders below the target folder
  bool overwrite = true;      // replace an existing file without asking
  bool setAttributes = true;  // give the file its stored attributes
  bool setDate = true;        // give the file its stored date
};

// The configuration member lands in the target folder itself, replacing any file of its name
// without asking; its stored date and attributes do not matter.
inline constexpr TExtractionPolicy kConfigMemberPolicy{false, true, false, false};

TMemberResult ExtractMember(TExtractionRun& run, int index, const std::string& targetDirectory,
                            const TExtractionPolicy& policy);

// Where a member lands below the target folder: its stored name without one leading "\", or
// only its file name when the stored folders are not kept. The stub and the builder's
// extraction both place members by it.
std::string TargetNameOf(const std::string& storedName, bool useDirs);
// The same below `directory` (with or without its trailing "\").
std::string TargetPathOf(const std::string& directory, const std::string& storedName, bool useDirs);
// Creates `directory` and every missing parent, parents first, and appends each folder it
// created to `created`. An empty text, or a folder that cannot be created, raises "This is
// not a valid directory name".
void CreateDirectoryChain(const std::string& directory, std::vector<std::string>& created);
// Whether the member is written: asks when the target exists and `overwrite` is off (Cancel
// sets the run's cancel request), then clears the way.
bool PrepareTarget(TExtractionRun& run, const std::string& path, bool overwrite);
