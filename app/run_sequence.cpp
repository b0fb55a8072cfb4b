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
constexpr char kUnnamedFolderText[] = "The installer's or the temporary folder's name is outside the code page.";

// The program's exit code, or the code for a program that could not be started (the clean-up
// runs either way).
int StartProgram(const std::string& command, const TExtractionRun& run) {
  const auto isPresent = [](const std::string& path) { return FileIsPresent(path); };
  const std::string& folder = run.memberDirectory;
  const std::string commandLine = QuoteProgramPath(ExpandPlaceholders(command, folder), folder, isPresent);
  TLaunch how;
  how.passArguments = run.passArguments;
  how.waitForAll = run.waitAll;
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
// user is told why and the run ends so.
StubEnding MakeRunFolder(UserInterface& ui, const std::string& temporaryDirectory, std::string& runFolder) {
  if (temporaryDirectory.empty() || ModuleFileName().empty()) {
    ui.ShowMessage(kUnnamedFolderText, kErrorCaption, kMessageExclamation);
    return temporaryDirectory.empty() ? StubEnding::WriteFailed : StubEnding::Damaged;
  }
  const int error = CreateRunFolder(temporaryDirectory, runFolder);
  if (error == 0) return StubEnding::Complete;
  const TFailure failure = FileFailure("Error creating folder", runFolder.empty() ? temporaryDirectory : runFolder,
                                       EInOutError::MessageFor(error));
  ui.ShowMessage(failure.text, failure.caption, kMessageExclamation);
  return StubEnding::WriteFailed;
}

int RunSequence() {
  InitHostServices();
  UserInterface& ui = PlatformUserInterface();
  ui.OpenProgress();
  const std::string temporaryDirectory = TempDirectory();
  std::string runFolder;
  const StubEnding noFolder = MakeRunFolder(ui, temporaryDirectory, runFolder);
  if (noFolder != StubEnding::Complete) {
    ui.CloseProgress();
    return ExitCodeOf(noFolder);
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
