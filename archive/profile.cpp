#include "archive/config.h"

#include <cstddef>

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

}  // namespace

std::string ProfileValue(const std::string& content, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  const std::string wantedSection = Trimmed(Limited(section, kConfigArgumentLimit));
  const std::string wantedKey = Trimmed(Limited(key, kConfigArgumentLimit));
  // The system's reader drops trailing blanks of the default as well.
  const std::string fallback =
      Limited(TrimmedRight(Limited(defaultValue, kConfigArgumentLimit)), kConfigValueLimit);
  size_t pos = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  bool inSection = false, sectionSeen = false;
  std::string line;
  while (NextLine(content, pos, line)) {
    const std::string text = Trimmed(line);
    if (!text.empty() && text[0] == '[') {
      if (sectionSeen) break;  // only the first section of that name is looked at
      const size_t close = text.rfind(']');
      const std::string name = Trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = SameAscii(name, wantedSection);
      sectionSeen = inSection;
      continue;
    }
    if (!inSection) continue;
    const size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    if (SameAscii(Trimmed(text.substr(0, equals)), wantedKey))
      return Limited(Unquoted(Trimmed(text.substr(equals + 1))), kConfigValueLimit);
  }
  return fallback;
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
