#include "tools/sfxpack/packing/config_member.h"

namespace {

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The profile reader would take one pair of enclosing quotes or surrounding blanks away;
// an extra pair of quotes makes it hand back the value as written.
std::string ProtectedValue(const std::string& value) {
  const bool enclosed = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  const bool blankEdge = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                            value.back() == ' ' || value.back() == '\t');
  return enclosed || blankEdge ? "\"" + value + "\"" : value;
}

}  // namespace

std::string ConfigValueProblem(const std::string& value) {
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 32) return "holds a line break or control character";
  }
  if (ProtectedValue(value).size() > static_cast<size_t>(kConfigValueLimit)) {
    return "is longer than the " + std::to_string(kConfigValueLimit) +
           " characters the installer reads";
  }
  return std::string();
}

std::string ConfigurationText(const TConfiguration& config) {
  std::string text = std::string("[") + kConfigSection + "]\r\n";
  for (const TConfigKey& key : kConfigKeys) {
    std::string value;
    switch (key.kind) {
      case ConfigKind::Flag: value = config.*key.flag ? "1" : "0"; break;
      case ConfigKind::Setting:
        if (config.*key.flag == ConfigFlag(key.defaultValue)) continue;
        value = config.*key.flag ? "1" : "0";
        break;
      case ConfigKind::Number: value = std::to_string(config.*key.number); break;
      case ConfigKind::Text:
        if ((config.*key.text).empty()) continue;
        value = ProtectedValue(config.*key.text);
        break;
    }
    text += std::string(key.name) + "=" + value + "\r\n";
  }
  return text;
}
