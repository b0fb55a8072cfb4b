// The configuration member: an INI file whose section "KVTR Configuration" holds the keys of
// kConfigKeys. The stub and the builder read it with the same rules (ParseConfiguration).
#pragma once

#include <string>

#include "archive/format.h"

// The configuration as the keys give it.
struct TConfiguration {
  TConfiguration();  // every key at its default of kConfigKeys

  bool useDirs, overwrite, attributes, fileDate, runFolder, passArguments, waitAll;
  int codePage;
  std::string executable, parameters;
  bool sectionFound = false;  // set by the builder's reading
};

// A Setting is a flag that is written only when it differs from its default, so that an
// installer without it behaves as one made before the key existed.
enum class ConfigKind { Flag, Setting, Number, Text };

// One key: its name, its default as text, whether the stub reads it, and the field it fills.
// A flag is on unless its value is exactly "0"; a number of up to five digits is read, anything
// else as 0. The builder writes the keys in this order, flags and numbers always, texts only
// when not empty.
struct TConfigKey {
  const char* name;
  ConfigKind kind;
  const char* defaultValue;
  bool stubReads;
  bool TConfiguration::*flag;
  int TConfiguration::*number;
  std::string TConfiguration::*text;
};

inline constexpr TConfigKey kConfigKeys[] = {
    // Recreate the members' folders below the target folder (else all go into it).
    {"UseDirs", ConfigKind::Flag, "1", true, &TConfiguration::useDirs, nullptr, nullptr},
    // Replace an existing file without asking (else the "File Exists" box asks).
    {"OverWrite", ConfigKind::Flag, "1", true, &TConfiguration::overwrite, nullptr, nullptr},
    // Give each unpacked file its stored attributes.
    {"Attributes", ConfigKind::Flag, "1", true, &TConfiguration::attributes, nullptr, nullptr},
    // Give each unpacked file its stored date and time.
    {"FileDate", ConfigKind::Flag, "1", true, &TConfiguration::fileDate, nullptr, nullptr},
    // Unpack into a new private folder of the run's own inside the temporary folder (else
    // straight into the temporary folder, for a program that looks for its files there).
    {"RunFolder", ConfigKind::Setting, "1", true, &TConfiguration::runFolder, nullptr, nullptr},
    // Append the installer's own command-line arguments to the program's.
    {"PassArguments", ConfigKind::Setting, "0", true, &TConfiguration::passArguments, nullptr, nullptr},
    // Wait for every process the program starts, not only for the program, before cleaning up.
    {"WaitAll", ConfigKind::Setting, "0", true, &TConfiguration::waitAll, nullptr, nullptr},
    // The code page of names and values, for the builder's own reading; the stub ignores it.
    {"CodePage", ConfigKind::Number, "1252", false, nullptr, &TConfiguration::codePage, nullptr},
    // The program to start, relative to the target folder; empty: start nothing.
    {"Executable", ConfigKind::Text, "", true, nullptr, nullptr, &TConfiguration::executable},
    // Its parameters, behind a blank.
    {"Parameters", ConfigKind::Text, "", true, nullptr, nullptr, &TConfiguration::parameters},
};

// The configuration as the stub reads it from `content`, read once from `file`: only the keys
// it follows, each through ConfigTextValue (whose empty value means what the defaults mean).
TConfiguration ParseConfiguration(const std::string& content, const std::string& file);

// The configuration as the builder reads an archive's text: every key, with the stub's rules
// (ProfileValue), and whether the section is there.
TConfiguration ParseConfiguration(const std::string& content);

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
