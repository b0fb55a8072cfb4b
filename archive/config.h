// The configuration member: an INI file whose section "KVTR Configuration" holds Executable,
// Parameters, UseDirs, OverWrite, Attributes and FileDate.
#pragma once

#include <string>

// The value of `key` in `section` of the INI file `file`, or `defaultValue` when the key, the
// section or the file is missing. Section and key match without regard to case, and only the
// first section of a name is looked at; the value is trimmed of surrounding blanks, one pair of
// matching quotes around it is dropped, and at most 259 characters of it are seen. Each
// argument is cut to 255 characters first. Win32: the system's private-profile reader;
// elsewhere a reader of the same rules (ProfileValue).
std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& defaultValue, const std::string& file);

// The portable reader behind ReadConfigValue, on the file's content.
std::string ProfileValue(const std::string& content, const std::string& section,
                         const std::string& key, const std::string& defaultValue);

// The whole content of `file`, read once through the current file system. Returns 0, or the
// error code (Windows numbering) of the open or read that failed; `content` then holds what
// was read before the failure.
int ReadConfigText(const std::string& file, std::string& content);

// The value of `key` (empty when missing) in `section` of the configuration whose whole
// content `content` was read once from `file`. A key that the text holds never reads as
// missing because opening or reading the file again failed. POSIX: ProfileValue on the text.
// Win32: the system's reader, as ReadConfigValue; where it gives an empty value, the value in
// the text (empty when the text has none either).
std::string ConfigTextValue(const std::string& content, const std::string& section,
                            const std::string& key, const std::string& file);

// A policy flag: on unless the value is exactly "0".
bool ConfigFlag(const std::string& value);

constexpr int kConfigValueLimit = 259;  // characters of a value that are seen
constexpr int kConfigArgumentLimit = 255;
