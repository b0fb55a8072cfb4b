#include "tools/sfxpack/cli/options.h"

#include "tools/sfxpack/errors.h"

namespace {

const TOptionDef* FindDefinition(const std::vector<TOptionDef>& known, const std::string& name) {
  for (const TOptionDef& definition : known) {
    if (definition.name == name) return &definition;
  }
  return nullptr;
}

}  // namespace

std::string ParsedOptions::Value(const std::string& name, const std::string& fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second;
}

std::vector<std::string> ParsedOptions::All(const std::string& name) const {
  const auto found = all_.find(name);
  return found == all_.end() ? std::vector<std::string>() : found->second;
}

std::string ParsedOptions::LastOf(const std::vector<std::string>& names) const {
  std::string last;
  int lastOrder = -1;
  for (const std::string& name : names) {
    const auto found = order_.find(name);
    if (found != order_.end() && found->second > lastOrder) {
      last = name;
      lastOrder = found->second;
    }
  }
  return last;
}

ParsedOptions ParseOptions(const Arguments& args, const std::vector<TOptionDef>& known) {
  ParsedOptions parsed;
  bool optionsEnded = false;
  int position = 0;
  for (size_t i = 0; i < args.size(); ++i, ++position) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      parsed.operands_.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = word;
    std::string value;
    bool hasInlineValue = false;
    const size_t equals = word.find('=');
    if (word.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = word.substr(0, equals);
      value = word.substr(equals + 1);
      hasInlineValue = true;
    }
    if (name == "--help") {
      parsed.values_[name] = "";
      parsed.order_[name] = position;
      continue;
    }
    const TOptionDef* definition = FindDefinition(known, name);
    // "-oFILE": a short option glued to its value.
    if (definition == nullptr && word[1] != '-' && word.size() > 2) {
      const TOptionDef* shortDefinition = FindDefinition(known, word.substr(0, 2));
      if (shortDefinition != nullptr && shortDefinition->takesValue) {
        definition = shortDefinition;
        name = word.substr(0, 2);
        value = word.substr(2);
        hasInlineValue = true;
      }
    }
    if (definition == nullptr) throw EUsageError("unknown option '" + word + "'");
    if (definition->takesValue && !hasInlineValue) {
      if (i + 1 >= args.size()) throw EUsageError("option '" + name + "' needs a value");
      value = args[++i];
    } else if (!definition->takesValue && hasInlineValue) {
      throw EUsageError("option '" + name + "' takes no value");
    }
    parsed.values_[name] = value;
    parsed.order_[name] = position;
    parsed.all_[name].push_back(value);
  }
  return parsed;
}

long long ParseCount(const std::string& option, const std::string& text, long long maximum) {
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw EUsageError("option '" + option + "' needs a decimal number, not '" + text + "'");
  }
  const long long value = std::stoll(text);
  if (value > maximum) {
    throw EUsageError("option '" + option + "' is at most " + std::to_string(maximum));
  }
  return value;
}
