#include "archive_test_support.h"

std::vector<std::string> ReadLines(const std::string& path) {
  const std::string text = ReadDiskText(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start) + "<no line end>");
  return lines;
}
