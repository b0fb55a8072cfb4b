#include "app/placeholders.h"

#include "host/convert.h"
#include "host/paths.h"
#include "host/platform.h"

namespace {

constexpr size_t kPlaceholderLength = 4;

// Upper case, for the search in the upper-cased text. The order matters: a value that holds a
// later tag gets that tag expanded too.
const char* const kTags[] = {"<AD>", "<WD>", "<SD>", "<TD>"};

// A folder is asked for only when its tag is in the text.
std::string ValueOf(size_t tag, const std::string& targetDirectory) {
  switch (tag) {
    case 0: return DirectoryOf(ModuleFileName());
    case 1: return WithBackslash(WindowsDirectory());
    case 2: return WithBackslash(SystemDirectory());
    default: return WithBackslash(targetDirectory);
  }
}

}  // namespace

std::string ExpandPlaceholders(const std::string& text, const std::string& targetDirectory) {
  std::string result = text;
  for (size_t tag = 0; tag < sizeof kTags / sizeof kTags[0]; ++tag) {
    const size_t at = UpperAscii(result).find(kTags[tag]);
    if (at == std::string::npos) continue;
    result = result.substr(0, at) + ValueOf(tag, targetDirectory) + result.substr(at + kPlaceholderLength);
  }
  return result;
}
