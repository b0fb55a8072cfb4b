#include "app/program_path.h"

#include "host/paths.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool NamesProgram(const std::string& path, const FilePresence& isPresent) {
  if (isPresent(path)) return true;
  // Windows appends ".exe" to a program name without an extension.
  return ExtensionOf(path).empty() && isPresent(path + ".exe");
}

std::string Quoted(const std::string& folder, const std::string& program,
                   const std::string& arguments) {
  return "\"" + folder + program + "\"" + arguments;
}

// An `Executable` value written in quotes: the program is what stands between them.
std::string QuotedExecutable(const std::string& folder, const std::string& rest) {
  const size_t close = rest.find('"', 1);
  if (close == std::string::npos) return Quoted(folder, rest.substr(1), "");
  return Quoted(folder, rest.substr(1, close - 1), rest.substr(close + 1));
}

// Where the program's name ends in `rest`, the text after the folder: at the shortest cut
// (at a blank or the end) that names an existing program, else at the first one. npos when
// `rest` is empty.
size_t ProgramNameEnd(const std::string& folder, const std::string& rest,
                      const FilePresence& isPresent) {
  size_t firstCut = std::string::npos;
  for (size_t cut = 1; cut <= rest.size(); ++cut) {
    if (cut < rest.size() && !IsBlank(rest[cut])) continue;
    if (NamesProgram(folder + rest.substr(0, cut), isPresent)) return cut;
    if (firstCut == std::string::npos) firstCut = cut;
  }
  return firstCut;
}

}  // namespace

std::string QuoteProgramPath(const std::string& command, const std::string& programFolder,
                             const FilePresence& isPresent) {
  if (programFolder.empty() || command.compare(0, programFolder.size(), programFolder) != 0) {
    return command;
  }
  const std::string rest = command.substr(programFolder.size());
  if (!rest.empty() && rest[0] == '"') return QuotedExecutable(programFolder, rest);
  const size_t end = ProgramNameEnd(programFolder, rest, isPresent);
  if (end == std::string::npos) return command;
  return Quoted(programFolder, rest.substr(0, end), rest.substr(end));
}
