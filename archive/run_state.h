// The state of one extraction run and what the run needs of its caller. The extraction run
// owns it from its start to its return; member extraction works on it. Nothing here talks to
// the user: the run reports its outcome, and its caller decides what the user is told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/directory.h"
#include "archive/extraction_observer.h"
#include "host/files.h"
#include "host/platform.h"

// A failure as the user is to be told it: the message text and the box's caption, and how it
// ends the run (an installer that cannot be read, unless said otherwise). An empty text means
// none.
struct TFailure {
  std::string text;
  std::string caption;
  StubEnding ending = StubEnding::Damaged;
  bool Happened() const { return !text.empty(); }
};

struct TExtractionRun {
  TExtractionRun(ExtractionObserver& observer, bool& cancelRequested)
      : observer(observer), cancelRequested(cancelRequested) {}

  ExtractionObserver& observer;
  // The caller's cancel flag, which its Cancel button sets at any time the run lets the user
  // act (a progress report, the overwrite prompt); the run sets it on a Cancel answer, reads it
  // before each read of compressed bytes and each member, and clears it at start and end.
  bool& cancelRequested;
  TArchiveDirectory directory;
  FileHandle archiveDataFile = kInvalidHandle;  // the program file, opened again for member data
  int32_t runBytesRead = 0;                     // compressed bytes delivered so far
  int32_t runTotal = 0;                         // the sum of all stored sizes
  std::vector<uint8_t> readAhead;               // the current member's stored bytes read, not yet delivered
  std::vector<uint8_t> pendingOutput;           // decoded bytes of the current member not yet written
  // The failure that ended the run (a target not written, the archive not read, a damaged
  // member); the run stops at the first, so there is never a second.
  TFailure failure;
  // Where members go when the configuration says RunFolder=0 (straight into the temporary
  // folder); empty: into the target folder all the same.
  std::string sharedDirectory;
  // What the run leaves for its clean-up: the folder the members went to (ending in "\"), the
  // folders it created there, parents first, and whether it ended by a cancel request.
  std::string memberDirectory;
  std::vector<std::string> createdFolders;
  // Every file the run created, as the delete list names them. The list on disk may lack some
  // when its own writing failed (a full disk); the clean-up after such a failure goes by this.
  std::vector<std::string> createdFiles;
  bool cancelled = false;
  bool passArguments = false, waitAll = false;  // how to start the program, as configured

  bool Stopped() const { return cancelRequested || failure.Happened(); }
};
