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
  const auto isPresent = [](const std::string& path) { return FileIsPresent(path); };
  const std::string commandLine =
      QuoteProgramPath(ExpandPlaceholders(command), WithBackslash(targetDirectory), isPresent);
  // Whether the program could be started changes nothing: the clean-up runs either way.
  LaunchCommand(commandLine, /*hidden=*/false, /*wait=*/true);
}

// The extraction run's progress and questions go to the progress window and its boxes.
class WindowObserver : public ExtractionObserver {
 public:
  explicit WindowObserver(UserInterface& ui) : ui_(ui) {}
  void Progress(const std::string& target, int32_t done, int32_t total) override {
    ui_.UpdateProgress(target, done, total);
  }
  OverwriteAnswer AskOverwrite(const std::string& path) override { return ui_.AskOverwrite(path); }

 private:
  UserInterface& ui_;
};

// The run stops at its first failure, so the user is told once, in an owner-less box; a
// failure that leaves the run as an exception afterwards is told all the same before the
// top-level report.
void TellFailure(UserInterface& ui, const TExtractionRun& run) {
  if (run.failure.Happened()) ui.ShowMessage(run.failure.text, run.failure.caption, kMessageExclamation);
}

std::string Extract(UserInterface& ui, const std::string& targetDirectory) {
  WindowObserver observer(ui);
  TExtractionRun run(observer, CancelRequested);
  FullRepaintPending = true;
  std::string command;
  try {
    command = ExtractArchive(run, targetDirectory);
  } catch (...) {
    TellFailure(ui, run);
    throw;
  }
  TellFailure(ui, run);
  return command;
}

void RunSequence() {
  InitHostServices();
  UserInterface& ui = PlatformUserInterface();
  ui.OpenProgress();
  const std::string targetDirectory = TempDirectory();
  const std::string command = Extract(ui, targetDirectory);
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
