#include "archive/config.h"

#include <cstddef>

#include "archive/format.h"
#include "host/convert.h"
#include "host/files.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string TrimmedRight(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

bool SameAscii(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

// Next line of `content` from `pos` (CR LF, LF or CR ends it); false at the end.
bool NextLine(const std::string& content, size_t& pos, std::string& line) {
  if (pos >= content.size()) return false;
  size_t end = pos;
  while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
  line.assign(content, pos, end - pos);
  if (end < content.size() && content[end] == '\r') {
    ++end;
    if (end < content.size() && content[end] == '\n') ++end;
  } else if (end < content.size()) {
    ++end;  // a lone LF
  }
  pos = end;
  return true;
}

std::string Limited(const std::string& text, size_t limit) { return text.substr(0, limit); }

// The system's reader drops one pair of matching quotes around a value.
std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
    return text.substr(1, text.size() - 2);
  return text;
}

// Calls `visit` with each trimmed line of the first section named `section` until it returns
// true; false when there is no such section.
template <class Visit>
bool VisitFirstSection(const std::string& content, const std::string& section, Visit visit) {
  const std::string wanted = Trimmed(Limited(section, kConfigArgumentLimit));
  size_t pos = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  bool inSection = false;
  std::string line;
  while (NextLine(content, pos, line)) {
    const std::string text = Trimmed(line);
    if (!text.empty() && text[0] == '[') {
      if (inSection) break;  // only the first section of that name is looked at
      const size_t close = text.rfind(']');
      const size_t length = close == std::string::npos ? std::string::npos : close - 1;
      inSection = SameAscii(Trimmed(text.substr(1, length)), wanted);
      continue;
    }
    if (inSection && visit(text)) break;
  }
  return inSection;
}

// A number of up to five digits; anything else reads as 0.
int ConfigNumber(const std::string& value) {
  if (value.empty() || value.size() > 5) return 0;
  int number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// An empty flag means what a missing one means, its default: for the flags that are on by
// default that is what ConfigFlag gives it anyway, and a setting that is off by default stays
// off. Both readers, the stub's and the builder's, go through here.
void SetConfigValue(TConfiguration& config, const TConfigKey& key, const std::string& value) {
  switch (key.kind) {
    case ConfigKind::Flag:
    case ConfigKind::Setting: config.*key.flag = ConfigFlag(value.empty() ? key.defaultValue : value); break;
    case ConfigKind::Number: config.*key.number = ConfigNumber(value); break;
    case ConfigKind::Text: config.*key.text = value; break;
  }
}

}  // namespace

TConfiguration::TConfiguration() {
  for (const TConfigKey& key : kConfigKeys) SetConfigValue(*this, key, key.defaultValue);
}

TConfiguration ParseConfiguration(const std::string& content, const std::string& file) {
  TConfiguration config;
  for (const TConfigKey& key : kConfigKeys)
    if (key.stubReads) SetConfigValue(config, key, ConfigTextValue(content, kConfigSection, key.name, file));
  return config;
}

TConfiguration ParseConfiguration(const std::string& content) {
  TConfiguration config;
  for (const TConfigKey& key : kConfigKeys)
    SetConfigValue(config, key, ProfileValue(content, kConfigSection, key.name, key.defaultValue));
  config.sectionFound =
      VisitFirstSection(content, kConfigSection, [](const std::string&) { return true; });
  return config;
}

std::string ProfileValue(const std::string& content, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  const std::string wantedKey = Trimmed(Limited(key, kConfigArgumentLimit));
  // The system's reader drops trailing blanks of the default as well.
  std::string value =
      Limited(TrimmedRight(Limited(defaultValue, kConfigArgumentLimit)), kConfigValueLimit);
  VisitFirstSection(content, section, [&](const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || !SameAscii(Trimmed(text.substr(0, equals)), wantedKey))
      return false;
    value = Limited(Unquoted(Trimmed(text.substr(equals + 1))), kConfigValueLimit);
    return true;
  });
  return value;
}

int ReadConfigText(const std::string& file, std::string& content) {
  content.clear();
  const FileHandle handle = OpenExistingFile(file, kModeReadShared);
  if (handle == kInvalidHandle) return CurrentFileSystem().LastError();
  int error = 0;
  char chunk[4096];
  for (;;) {
    const int32_t got = ReadFileBytes(handle, chunk, sizeof chunk);
    if (got < 0) error = CurrentFileSystem().LastError();
    if (got <= 0) break;
    content.append(chunk, static_cast<size_t>(got));
  }
  CloseFileHandle(handle);
  return error;
}

bool ConfigFlag(const std::string& value) { return value != "0"; }
