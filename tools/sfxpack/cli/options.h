// Command-line options in the form tar, zip and 7z users expect: "-o OUT", "--stub FILE",
// "--stub=FILE", flags such as "--force" or "-9", and "--" ending the options. Options may
// stand before, between or after the operands; the last occurrence of an option wins.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/sfxpack/cli/commands.h"

struct TOptionDef {
  std::string name;         // "-o", "--stub", "-9"
  bool takesValue = false;
};

class ParsedOptions {
 public:
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  // The value of the last occurrence, or `fallback` when the option was not given.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  const std::vector<std::string>& Operands() const { return operands_; }
  // Every value given to a repeatable option, in command-line order.
  std::vector<std::string> All(const std::string& name) const;
  // Which of the given flags was given last ("-1".."-9" style choices); empty if none.
  std::string LastOf(const std::vector<std::string>& names) const;

 private:
  friend ParsedOptions ParseOptions(const Arguments&, const std::vector<TOptionDef>&);
  std::map<std::string, std::string> values_;
  std::map<std::string, int> order_;
  std::map<std::string, std::vector<std::string>> all_;
  std::vector<std::string> operands_;
};

// Raises EUsageError for an unknown option or a missing value. "--help" is always known.
ParsedOptions ParseOptions(const Arguments& args, const std::vector<TOptionDef>& known);

// Parses a non-negative decimal number such as the value of --offset; EUsageError otherwise.
long long ParseCount(const std::string& option, const std::string& text, long long maximum);
