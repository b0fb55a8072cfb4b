#include "archive/config.h"

#include <windows.h>

#include "host/convert.h"

std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& defaultValue, const std::string& file) {
  char sectionText[256], keyText[256], defaultText[256], fileText[256];
  CopyToBuffer(sectionText, section);
  CopyToBuffer(keyText, key);
  CopyToBuffer(defaultText, defaultValue);
  CopyToBuffer(fileText, file);
  char value[kConfigValueLimit + 1] = "";
  GetPrivateProfileStringA(sectionText, keyText, defaultText, value, sizeof value, fileText);
  return value;
}

// The system's reader opens and reads the file again for every key; when that fails for one
// key (a virus scanner holding the file) the key reads as missing, and a missing OverWrite
// means "replace without asking". The text read once still holds the key. Where the system
// does give a value it stands, so files the portable reader takes differently (other
// encodings) keep the system's reading.
std::string ConfigTextValue(const std::string& content, const std::string& section,
                            const std::string& key, const std::string& file) {
  const std::string value = ReadConfigValue(section, key, "", file);
  return value.empty() ? ProfileValue(content, section, key, "") : value;
}
