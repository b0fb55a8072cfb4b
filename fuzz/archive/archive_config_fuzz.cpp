// Arbitrary configuration texts: a value is at most 259 characters, free of line ends and found
// in the text as written, and the builder's reading follows the stub's.
#include <cstdlib>

#include "archive/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  bool holds = true;
  for (const TConfigKey& key : kConfigKeys) {
    const std::string value = ProfileValue(content, kConfigSection, key.name, "\x01");
    holds = holds && (value == "\x01" || (value.size() <= static_cast<size_t>(kConfigValueLimit) &&
                                          value.find_first_of("\r\n") == std::string::npos &&
                                          content.find(value) != std::string::npos));
  }
  const TConfiguration stub = ParseConfiguration(content, "-"), builder = ParseConfiguration(content);
  if (!holds || stub.executable != builder.executable || stub.parameters != builder.parameters ||
      stub.useDirs != builder.useDirs || stub.overwrite != builder.overwrite ||
      stub.attributes != builder.attributes || stub.fileDate != builder.fileDate ||
      stub.runFolder != builder.runFolder || stub.passArguments != builder.passArguments ||
      stub.waitAll != builder.waitAll)
    std::abort();
  return 0;
}
