// What every subcommand shares: the exit codes, "--help", and turning failures into one line
// on stderr.
#pragma once

#include <functional>
#include <string>

#include "tools/sfxpack/cli/commands.h"
#include "tools/sfxpack/cli/options.h"

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kToolName[] = "sfxpack";

// Parses the options; prints `usage` on stdout for --help; runs `body` with the options.
// EUsageError -> message and a hint on stderr, 2; any other Exception or std::exception ->
// "sfxpack: message" on stderr, 1.
int RunCommand(const std::string& command, const char* usage, const Arguments& args,
               const std::vector<TOptionDef>& known,
               const std::function<int(const ParsedOptions&)>& body);

// "sfxpack: text" on stderr, for warnings and per-item errors.
void ReportError(const std::string& text);

// Collects the problems of many items (names, targets): the first few are shown one per
// line, the rest only counted.
class ProblemList {
 public:
  void Add(const std::string& text);
  size_t Count() const { return count_; }
  // Raises EPackError "<prefix>: N <what>s ...; nothing written" when there were any.
  void FailIfAny(const std::string& prefix, const std::string& what);

 private:
  size_t count_ = 0;
};
