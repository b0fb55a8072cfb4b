#include "archive/entry_list.h"

#include <cstring>
#include <utility>

namespace {
constexpr int kGrowth = 8;
}

// Called at the start of a run, when the list is already empty; releasing what might remain
// costs nothing and keeps a second run from inheriting stale lines.
void TEntryList::ResetEntries() { ClearEntries(); }

void TEntryList::AddEntry(const std::string& line) {
  if (count_ == capacity_) {
    auto grown = std::make_unique<TStringItem[]>(capacity_ + kGrowth);
    for (int i = 0; i < count_; ++i) grown[i] = std::move(items_[i]);
    items_ = std::move(grown);
    capacity_ += kGrowth;
  }
  items_[count_].text = line;
  ++count_;
}

void TEntryList::ClearEntries() {
  items_.reset();
  count_ = 0;
  capacity_ = 0;
}

std::string EntryField(const std::string& line, const char* separator, int n) {
  if (n < 1) return std::string();
  const size_t separatorSize = std::strlen(separator);
  size_t start = 0;
  for (int field = 1; field < n; ++field) {
    const size_t at = separatorSize == 0 ? std::string::npos : line.find(separator, start);
    if (at == std::string::npos) return std::string();
    start = at + separatorSize;
  }
  const size_t end = separatorSize == 0 ? std::string::npos : line.find(separator, start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
