#include "host/elevation.h"

#include "host/paths.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string WithoutLeadingBlanks(const std::string& text, size_t from) {
  while (from < text.size() && IsBlank(text[from])) ++from;
  return from < text.size() ? text.substr(from) : std::string();
}

}  // namespace

TProgramAndParameters SplitCommandLine(const std::string& commandLine,
                                       const FunctionRef<bool(const std::string&)>& isPresent) {
  const std::string line = WithoutLeadingBlanks(commandLine, 0);
  if (!line.empty() && line[0] == '"') {
    const size_t close = line.find('"', 1);
    if (close == std::string::npos) return {line.substr(1), std::string()};
    return {line.substr(1, close - 1), WithoutLeadingBlanks(line, close + 1)};
  }
  size_t firstCut = std::string::npos;
  for (size_t cut = 1; cut <= line.size(); ++cut) {
    if (cut < line.size() && !IsBlank(line[cut])) continue;
    if (firstCut == std::string::npos) firstCut = cut;
    const std::string candidate = line.substr(0, cut);
    if (isPresent(candidate)) return {candidate, WithoutLeadingBlanks(line, cut)};
    if (ExtensionOf(candidate).empty() && isPresent(candidate + ".exe"))
      return {candidate + ".exe", WithoutLeadingBlanks(line, cut)};
  }
  if (firstCut == std::string::npos) return {line, std::string()};
  return {line.substr(0, firstCut), WithoutLeadingBlanks(line, firstCut)};
}

bool LaunchAfterCreateFailure(unsigned long createError, ElevatedStarter& starter,
                              const std::string& commandLine, bool hidden, bool wait, int& exitCode) {
  if (createError != kErrorElevationRequired) return false;
  const TProgramAndParameters split =
      SplitCommandLine(commandLine, [&](const std::string& path) { return starter.IsPresent(path); });
  if (split.program.empty()) return false;
  if (!starter.StartElevated(split.program, split.parameters, hidden)) return false;
  if (wait) exitCode = starter.WaitForStarted();
  starter.ReleaseStarted();
  return true;
}
