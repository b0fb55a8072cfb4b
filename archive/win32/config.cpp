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
