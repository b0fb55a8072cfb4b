// Arbitrary configuration texts: a value is at most 259 characters, free of line ends and found
// in the text as written, and the builder's reading follows the stub's.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/config.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  const std::string content(reinterpret_cast<const char*>(data), size);
  for (const TConfigKey& key : kConfigKeys) {
    const std::string value = ProfileValue(content, kConfigSection, key.name, "\x01");
    if (value == "\x01") continue;
    Check(value.size() <= static_cast<size_t>(kConfigValueLimit));
    Check(value.find_first_of("\r\n") == std::string::npos && content.find(value) != std::string::npos);
  }
  const TConfiguration stub = ParseConfiguration(content, "-"), builder = ParseConfiguration(content);
  Check(stub.executable == builder.executable && stub.parameters == builder.parameters &&
        stub.useDirs == builder.useDirs && stub.overwrite == builder.overwrite &&
        stub.attributes == builder.attributes && stub.fileDate == builder.fileDate);
  return 0;
}
