#include "app/placeholders.h"

#include "host/convert.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

constexpr size_t kPlaceholderLength = 4;

struct Placeholder {
  const char* tag;  // upper case, for the search in the upper-cased text
  std::string (*value)();
};

std::string ProgramDirectory() { return DirectoryOf(ModuleFileName()); }
std::string WindowsFolder() { return WithBackslash(WindowsDirectory()); }
std::string SystemFolder() { return WithBackslash(SystemDirectory()); }

// The order matters: a value that holds a later tag gets that tag expanded too.
const Placeholder kPlaceholders[] = {
    {"<AD>", ProgramDirectory},
    {"<WD>", WindowsFolder},
    {"<SD>", SystemFolder},
    {"<TD>", TempDirectory},
};

}  // namespace

std::string ExpandPlaceholders(const std::string& text) {
  std::string result = text;
  for (const Placeholder& placeholder : kPlaceholders) {
    const size_t at = UpperAscii(result).find(placeholder.tag);
    if (at == std::string::npos) continue;
    // A folder is asked for only when its tag is in the text.
    result = result.substr(0, at) + placeholder.value() + result.substr(at + kPlaceholderLength);
  }
  return result;
}
