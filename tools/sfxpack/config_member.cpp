#include "tools/sfxpack/config_member.h"

#include <vector>

#include "archive/format.h"
#include "host/convert.h"

namespace {

const char kBlanks[] = " \t";

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The profile reader would take one pair of enclosing quotes or surrounding blanks away;
// an extra pair of quotes makes it hand back the value as written.
std::string ProtectedValue(const std::string& value) {
  const bool enclosed = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  const bool blankEdge = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                            value.back() == ' ' || value.back() == '\t');
  return enclosed || blankEdge ? "\"" + value + "\"" : value;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool FlagOn(const std::string& value) { return value != "0"; }

int CodePageOf(const std::string& value) {
  const bool digits = !value.empty() && value.size() < 6 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  return digits ? std::stoi(value) : 0;
}

}  // namespace

std::string ConfigValueProblem(const std::string& value) {
  for (char c : value) {
    if (static_cast<unsigned char>(c) < 32) return "holds a line break or control character";
  }
  if (ProtectedValue(value).size() > kMaxConfigValueLength) {
    return "is longer than the " + std::to_string(kMaxConfigValueLength) +
           " characters the installer reads";
  }
  return std::string();
}

std::string ConfigurationText(const TConfiguration& config) {
  const auto line = [](const std::string& text) { return text + "\r\n"; };
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  std::string text = line(std::string("[") + kConfigSection + "]");
  text += line("UseDirs=" + flag(config.useDirs));
  text += line("OverWrite=" + flag(config.overwrite));
  text += line("Attributes=" + flag(config.attributes));
  text += line("FileDate=" + flag(config.fileDate));
  text += line("CodePage=" + std::to_string(config.codePage));
  if (!config.executable.empty()) text += line("Executable=" + ProtectedValue(config.executable));
  if (!config.parameters.empty()) text += line("Parameters=" + ProtectedValue(config.parameters));
  return text;
}

TConfiguration ParseConfigurationText(const std::string& text) {
  const std::string section = UpperAscii(kConfigSection);
  TConfiguration config;
  bool inSection = false;
  bool seen[7] = {};
  for (const std::string& raw : TextLines(text)) {
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string::npos &&
                  UpperAscii(Trimmed(line.substr(1, close - 1))) == section;
      config.sectionFound = config.sectionFound || inSection;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    const std::string key = UpperAscii(Trimmed(line.substr(0, equals)));
    const std::string value =
        Unquoted(Trimmed(line.substr(equals + 1))).substr(0, kMaxConfigValueLength);
    // The first occurrence of a key counts, as with the profile functions.
    const char* const keys[7] = {"EXECUTABLE", "PARAMETERS", "USEDIRS",  "OVERWRITE",
                                 "ATTRIBUTES", "FILEDATE",   "CODEPAGE"};
    for (int k = 0; k < 7; ++k) {
      if (key != keys[k] || seen[k]) continue;
      seen[k] = true;
      switch (k) {
        case 0: config.executable = value; break;
        case 1: config.parameters = value; break;
        case 2: config.useDirs = FlagOn(value); break;
        case 3: config.overwrite = FlagOn(value); break;
        case 4: config.attributes = FlagOn(value); break;
        case 5: config.fileDate = FlagOn(value); break;
        case 6: config.codePage = CodePageOf(value); break;
      }
    }
  }
  return config;
}
