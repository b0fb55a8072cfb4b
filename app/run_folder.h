// Where a run unpacks: a folder of its own, new for every run, inside the temporary folder.
// Two installers that run at once keep their own files, nothing that lay in the temporary
// folder before lies beside the started program, and the clean-up can take the folder away.
#pragma once

#include <string>

#include "archive/run_state.h"

// Creates the run folder in `temporaryDirectory` under a random name that no earlier run or
// other program can have chosen, refusing any name that exists; only the user the program runs
// as may enter it. Returns 0 with `folder` set (ending in "\"), or the error code (Windows
// numbering) of the creation that failed.
int CreateRunFolder(const std::string& temporaryDirectory, std::string& folder);

// The clean-up after a run: each file the delete list in the member folder names, the list, the
// folders the run created (deepest first) and the run folder (empty: none), each folder only
// when it is empty, so that whatever the started program left there stays. A file that cannot
// be deleted is skipped. With `listRequired`, a list that cannot be read raises EInOutError;
// otherwise it is taken as empty, as after a run that ended before it was written.
void CleanUpRun(const TExtractionRun& run, const std::string& runFolder, bool listRequired);
