// Arbitrary configuration files (and section and key names) through the portable INI reader:
// a value is at most 259 characters, free of line ends, found in the file as written, and reads
// back the same from a file that holds just it, quoted.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/config.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Input: section NUL key NUL file content.
bool Split(const std::string& input, std::string& section, std::string& key, std::string& content) {
  const size_t a = input.find('\0');
  if (a == std::string::npos) return false;
  const size_t b = input.find('\0', a + 1);
  if (b == std::string::npos) return false;
  section = input.substr(0, a);
  key = input.substr(a + 1, b - a - 1);
  content = input.substr(b + 1);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  std::string section, key, content;
  if (!Split(std::string(reinterpret_cast<const char*>(data), size), section, key, content)) return 0;
  const std::string missing = "\x01missing";
  const std::string value = ProfileValue(content, section, key, missing);
  if (value == missing) return 0;
  Check(value.size() <= static_cast<size_t>(kConfigValueLimit));
  Check(value.find('\r') == std::string::npos && value.find('\n') == std::string::npos);
  Check(content.find(value) != std::string::npos);
  const bool plainKey = key.find_first_of("=[\r\n") == std::string::npos;
  const bool plainSection = section.find_first_of("]\r\n") == std::string::npos;
  if (plainKey && plainSection && !key.empty()) {
    const std::string again = ProfileValue("[" + section + "]\r\n" + key + "=\"" + value + "\"\r\n", section, key, missing);
    Check(again == value);
  }
  return 0;
}
