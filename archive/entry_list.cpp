#include "archive/entry_list.h"

#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr int kGrowth = 8;

struct TEntryList {
  std::unique_ptr<TStringItem[]> items;
  int count = 0;
  int capacity = 0;
};

TEntryList EntryList;

void GrowEntries() {
  auto grown = std::make_unique<TStringItem[]>(EntryList.capacity + kGrowth);
  for (int i = 0; i < EntryList.count; ++i) grown[i] = std::move(EntryList.items[i]);
  EntryList.items = std::move(grown);
  EntryList.capacity += kGrowth;
}

}  // namespace

// Called at the start of a run, when the list is already empty; releasing what might remain
// costs nothing and keeps a second run from inheriting stale lines.
void ResetEntries() { ClearEntries(); }

void AddEntry(const std::string& line) {
  if (EntryList.count == EntryList.capacity) GrowEntries();
  EntryList.items[EntryList.count].text = line;
  ++EntryList.count;
}

int EntryCount() { return EntryList.count; }

int EntryCapacity() { return EntryList.capacity; }

std::string GetEntry(int index) { return EntryList.items[index].text; }

void ClearEntries() {
  EntryList.items.reset();
  EntryList.count = 0;
  EntryList.capacity = 0;
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
