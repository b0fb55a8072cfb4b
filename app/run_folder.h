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

// The clean-up after a run: the files it unpacked and its delete list, then the folders it
// created (deepest first) and the run folder (empty: none), each folder only when it is empty,
// so that whatever the started program left there stays. A file that cannot be deleted is
// skipped. After the program, the files are those the delete list names, and a list that
// cannot be read raises EInOutError; after any other ending (a cancel, a failure), nothing
// else has touched the folder and the run's own record of what it created serves.
void CleanUpRun(const TExtractionRun& run, const std::string& runFolder, bool afterProgram);
