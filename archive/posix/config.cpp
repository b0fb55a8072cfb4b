#include "archive/config.h"

// An unreadable file reads like a missing one: every key gets its default.
std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& defaultValue, const std::string& file) {
  std::string content;
  if (ReadConfigText(file.substr(0, kConfigArgumentLimit), content) != 0) content.clear();
  return ProfileValue(content, section, key, defaultValue);
}

std::string ConfigTextValue(const std::string& content, const std::string& section,
                            const std::string& key, const std::string&) {
  return ProfileValue(content, section, key, "");
}
