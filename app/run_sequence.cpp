#include "app/run_sequence.h"

#include <exception>
#include <new>

#include "app/placeholders.h"
#include "app/program_path.h"
#include "app/run_folder.h"
#include "archive/extraction.h"
#include "archive/member.h"
#include "host/exceptions.h"
#include "host/files.h"
#include "host/launch.h"
#include "host/paths.h"
#include "host/platform.h"
#include "ui/user_interface.h"

namespace {

constexpr char kErrorCaption[] = "Error";
// Win32 opens files by names in the system code page; a folder whose name it cannot write there,
// and that has no short name either, cannot be reached.
constexpr char kUnnamedInstallerText[] =
    "This installer cannot open its own file: the name of the folder it is stored in cannot be "
    "written in the system's code page.\r\nMove it to a folder whose name has only plain letters.";
constexpr char kUnnamedTempText[] =
    "The temporary folder cannot be used: its name cannot be written in the system's code page.";

// The program's exit code, or the code for a program that could not be started (the clean-up
// runs either way).
int StartProgram(const std::string& command, const TExtractionRun& run) {
  const auto isPresent = [](const std::string& path) { return FileIsPresent(path); };
  const std::string& folder = run.memberDirectory;
  const std::string commandLine = QuoteProgramPath(ExpandPlaceholders(command, folder), folder, isPresent);
  TLaunch how;
  how.passArguments = run.configuration.passArguments;
  how.waitForAll = run.configuration.waitAll;
  int exitCode = 0;
  if (!LaunchCommand(commandLine, how, exitCode)) return ExitCodeOf(StubEnding::NotStarted);
  return exitCode;
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

// On the way to the top-level report the run's files go all the same; a failure of the
// clean-up itself must not hide the one being reported.
void CleanUpAfterFailure(const TExtractionRun& run, const std::string& runFolder) {
  try {
    CleanUpRun(run, runFolder, false);
  } catch (...) {
  }
}

std::string Extract(UserInterface& ui, TExtractionRun& run, const std::string& runFolder) {
  FullRepaintPending = true;
  std::string command;
  try {
    command = ExtractArchive(run, runFolder);
  } catch (...) {
    TellFailure(ui, run);
    CleanUpAfterFailure(run, runFolder);
    throw;
  }
  TellFailure(ui, run);
  return command;
}

// The temporary folder and, inside it, the run's own folder; when either cannot be had, the
// failure, which the user has been told.
TFailure MakeRunFolder(UserInterface& ui, const std::string& temporaryDirectory, std::string& runFolder) {
  TFailure failure;
  if (ModuleFileName().empty()) {
    failure = {kUnnamedInstallerText, kErrorCaption};
  } else if (temporaryDirectory.empty()) {
    failure = {kUnnamedTempText, kErrorCaption, StubEnding::WriteFailed};
  } else if (const int error = CreateRunFolder(temporaryDirectory, runFolder)) {
    failure = FileFailure("Error creating folder", runFolder.empty() ? temporaryDirectory : runFolder,
                          EInOutError::MessageFor(error), StubEnding::WriteFailed);
  }
  if (failure.Happened()) ui.ShowMessage(failure.text, failure.caption, kMessageExclamation);
  return failure;
}

int RunSequence() {
  InitHostServices();
  UserInterface& ui = PlatformUserInterface();
  ui.OpenProgress();
  const std::string temporaryDirectory = TempDirectory();
  std::string runFolder;
  const TFailure noFolder = MakeRunFolder(ui, temporaryDirectory, runFolder);
  if (noFolder.Happened()) {
    ui.CloseProgress();
    return ExitCodeOf(noFolder.ending);
  }
  WindowObserver observer(ui);
  TExtractionRun run(observer, CancelRequested);
  run.sharedDirectory = temporaryDirectory;
  const std::string command = Extract(ui, run, runFolder);
  ui.CloseProgress();
  // Members that went straight into the temporary folder leave the run folder empty.
  if (run.memberDirectory != runFolder && RemoveFolder(runFolder)) runFolder.clear();
  const StubEnding ending = run.cancelled ? StubEnding::Cancelled
                            : run.failure.Happened() ? run.failure.ending
                                                     : StubEnding::Complete;
  // Without a program to start, what was unpacked stays for whoever wanted it unpacked; after a
  // cancel or a failure it goes at once.
  if (command.empty()) {
    if (ending != StubEnding::Complete) CleanUpRun(run, runFolder, false);
    return ExitCodeOf(ending);
  }
  const int exitCode = StartProgram(command, run);
  CleanUpRun(run, runFolder, true);
  return exitCode;
}

}  // namespace

int RunSelfExtractor() {
  try {
    return RunSequence();
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
