#include "tools/sfxpack/packing/member_names.h"

#include <algorithm>
#include <map>

#include "archive/directory.h"
#include "archive/format.h"
#include "host/convert.h"
#include "host/paths.h"

namespace {

constexpr size_t kMaxNameBytes = 255;

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t split = name.find('\\', start);
    parts.push_back(name.substr(start, split == std::string::npos ? std::string::npos
                                                                  : split - start));
    if (split == std::string::npos) return parts;
    start = split + 1;
  }
}

std::string ComponentProblem(const std::string& component) {
  if (component.empty()) return "has an empty path component";
  if (component == "..") return "has a \"..\" component, which would leave the target folder";
  if (component == ".") return "has a \".\" component";
  if (component.back() == '.' || component.back() == ' ') {
    return "has a component ending in a dot or blank, which Windows drops";
  }
  if (IsDeviceName(component)) return "names a Windows device (" + component + ")";
  return std::string();
}

}  // namespace

std::string MemberNameProblem(const std::string& storedName) {
  if (storedName.empty()) return "is empty";
  if (storedName.size() > kMaxNameBytes) return "is longer than 255 bytes";
  for (char c : storedName) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) return "holds a control character";
    if (c == ':') return "holds \":\" (a drive or stream name)";
    if (std::string("<>\"|?*/").find(c) != std::string::npos) {
      return std::string("holds \"") + c + "\", which Windows forbids in file names";
    }
  }
  if (storedName.compare(0, 2, "\\\\") == 0) return "begins with \"\\\\\"";
  // One leading "\" is the stub's business: it drops it.
  const std::string relative = storedName[0] == '\\' ? storedName.substr(1) : storedName;
  for (const std::string& component : Components(relative)) {
    const std::string problem = ComponentProblem(component);
    if (!problem.empty()) return problem;
  }
  return std::string();
}

std::vector<TNameClash> FindNameClashes(const std::vector<std::string>& storedNames,
                                        bool useDirs) {
  std::vector<TNameClash> clashes;
  std::map<std::string, std::string> files;  // upper-cased target -> stored name
  for (const std::string& name : storedNames) {
    const std::string target = UpperAscii(TargetNameOf(name, useDirs));
    if (target == UpperAscii(kDeleteListName)) {
      clashes.push_back({name, name, "would replace the installer's delete list"});
    }
    const auto inserted = files.emplace(target, name);
    if (!inserted.second) {
      clashes.push_back({inserted.first->second, name, "land on the same file"});
    }
  }
  // In the sorted map a folder's contents follow right behind any name that is a prefix.
  for (auto it = files.begin(); it != files.end(); ++it) {
    const std::string folder = it->first + "\\";
    auto next = files.lower_bound(folder);
    if (next != files.end() && next->first.compare(0, folder.size(), folder) == 0) {
      clashes.push_back({it->second, next->second, "need the same name as a file and a folder"});
    }
  }
  return clashes;
}
