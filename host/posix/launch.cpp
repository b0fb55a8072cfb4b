#include "host/launch.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "host/platform.h"

extern char** environ;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Win32 attributes carry no execute permission, so an unpacked program arrives without one;
// its owner is given it, as Windows would start the file as it stands.
void AllowOwnerToRun(const std::string& program) {
  struct stat status;
  if (stat(program.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  if (status.st_uid != geteuid() || (status.st_mode & S_IXUSR)) return;
  chmod(program.c_str(), (status.st_mode & 07777) | S_IXUSR);
}

std::vector<std::string> ownArguments;

// The exit status, or 128 + n for a program ended by signal n, as a shell reports it.
int WaitForEnd(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 0;
  }
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// As the reaper of everything the program started, the stub inherits each descendant whose
// parent ends; it waits until it has no child left.
void WaitForDescendants() {
  while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
  }
}

}  // namespace

// Blanks and tabs separate words outside quotes. "..." and '...' hold blanks; inside double
// quotes \" stands for a quote. Any other backslash is kept, as it separates the folders of
// an internal path. Nothing is expanded.
std::vector<std::string> SplitCommandWords(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (quote == '"' && c == '\\' && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
      word += '"';
      ++i;
    } else if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (IsBlank(c)) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '"' || c == '\'') {
      quote = c;
      inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

void KeepProgramArguments(int argc, char** argv) { ownArguments.assign(argv + 1, argv + argc); }

bool LaunchCommand(const std::string& commandLine, const TLaunch& how, int& exitCode) {
  std::vector<std::string> words = SplitCommandWords(commandLine);
  if (words.empty()) return false;
  for (std::string& word : words) word = NativePath(word);
  AllowOwnerToRun(words[0]);
  if (how.passArguments) words.insert(words.end(), ownArguments.begin(), ownArguments.end());
  if (how.waitForAll) prctl(PR_SET_CHILD_SUBREAPER, 1);

  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  pid_t child = 0;
  // posix_spawn, not posix_spawnp: the program is a path, never looked up in PATH.
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  if (!how.wait) return true;
  exitCode = WaitForEnd(child);
  if (how.waitForAll) WaitForDescendants();
  return true;
}
