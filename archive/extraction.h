// The extraction run: reads the directory, extracts the configuration member first, reads the
// configuration, extracts every other member and writes the delete list; returns the command
// to start (empty after a cancel, a failure, or when the configuration names no program).
// What went wrong is left in the run's failure for the caller to tell.
#pragma once

#include <cstdint>
#include <string>

#include "archive/run_state.h"

// The program's own archive, unpacked into `targetDirectory` (with or without trailing "\").
std::string ExtractArchive(TExtractionRun& run, const std::string& targetDirectory);

// The same for the archive at `offset` of `archivePath` (a built installer, a test archive).
std::string ExtractArchiveAt(TExtractionRun& run, const std::string& archivePath, int32_t offset,
                             const std::string& targetDirectory);
