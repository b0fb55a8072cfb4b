// The shared table of hostile and harmless member names, tests/support/hostile_names.txt,
// compiled in (so the Windows tests need no path to it).
#pragma once

#include <sstream>
#include <string>
#include <vector>

struct THostileName {
  std::string name;
  char stub;     // '+' accepted, '-' refused
  char builder;  // the same, or '?' not checked
};

inline std::vector<THostileName> HostileNames() {
  static const std::string kTable =
#include "hostile_names.inc"
      ;
  std::vector<THostileName> rows;
  std::istringstream table(kTable);
  for (std::string line; std::getline(table, line);) {
    if (line.size() < 4 || line[0] == '#') continue;
    std::string name;
    for (size_t i = 3; i < line.size(); ++i) {
      name += line[i] == '%' ? static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)) : line[i];
      if (line[i] == '%') i += 2;
    }
    rows.push_back({name, line[0], line[1]});
  }
  return rows;
}
