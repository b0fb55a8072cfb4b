#include "app/placeholders.h"

#include "host/convert.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

constexpr size_t kPlaceholderLength = 4;

struct Placeholder {
  const char* tag;  // upper case, for the search in the upper-cased text
  std::string (*value)(const std::string& targetDirectory);
};

std::string ProgramDirectory(const std::string&) { return DirectoryOf(ModuleFileName()); }
std::string WindowsFolder(const std::string&) { return WithBackslash(WindowsDirectory()); }
std::string SystemFolder(const std::string&) { return WithBackslash(SystemDirectory()); }
std::string TargetFolder(const std::string& targetDirectory) { return WithBackslash(targetDirectory); }

// The order matters: a value that holds a later tag gets that tag expanded too.
const Placeholder kPlaceholders[] = {
    {"<AD>", ProgramDirectory},
    {"<WD>", WindowsFolder},
    {"<SD>", SystemFolder},
    {"<TD>", TargetFolder},
};

}  // namespace

std::string ExpandPlaceholders(const std::string& text, const std::string& targetDirectory) {
  std::string result = text;
  for (const Placeholder& placeholder : kPlaceholders) {
    const size_t at = UpperAscii(result).find(placeholder.tag);
    if (at == std::string::npos) continue;
    // A folder is asked for only when its tag is in the text.
    result = result.substr(0, at) + placeholder.value(targetDirectory) + result.substr(at + kPlaceholderLength);
  }
  return result;
}
