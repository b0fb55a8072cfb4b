#include "app/run_sequence.h"

#include <exception>
#include <new>

#include "app/placeholders.h"
#include "app/program_path.h"
#include "archive/extraction.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/launch.h"
#include "host/paths.h"
#include "host/platform.h"
#include "ui/user_interface.h"

namespace {

const char kDeleteListPath[] = "<TD>$d$e$l$.lst";

void StartProgram(const std::string& command, const std::string& targetDirectory) {
  // A lambda rather than FileIsPresent itself: std::function keeps the type description of
  // what it holds, and a function pointer's would bring the runtime's descriptions of pointer,
  // function and fundamental types into the Windows stub (about 2 KB).
  const auto isPresent = [](const std::string& path) { return FileIsPresent(path); };
  const std::string commandLine =
      QuoteProgramPath(ExpandPlaceholders(command), WithBackslash(targetDirectory), isPresent);
  // Whether the program could be started changes nothing: the clean-up runs either way.
  LaunchCommand(commandLine, /*hidden=*/false, /*wait=*/true);
}

void RunSequence() {
  InitHostServices();
  UserInterface& ui = CurrentUserInterface();
  ui.OpenProgress();
  const std::string targetDirectory = TempDirectory();
  const std::string command = ExtractArchive(targetDirectory);
  ui.CloseProgress();
  // An empty command (damaged archive, cancel, no `Executable`) leaves every unpacked file and
  // the list in place.
  if (command.empty()) return;
  StartProgram(command, targetDirectory);
  RemoveListedFiles(ExpandPlaceholders(kDeleteListPath));
}

}  // namespace

int RunSelfExtractor() {
  try {
    RunSequence();
  } catch (const Exception& failure) {
    ReportFatalError(failure);
  } catch (const std::bad_alloc&) {
    ReportFatalError(EOutOfMemory(kOutOfMemoryMessage));
  } catch (const std::exception& failure) {
    // A standard-library failure is reported like the program's own.
    ReportFatalError(Exception(failure.what()));
  }
  return 0;
}
