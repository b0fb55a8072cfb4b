// The entry list: the archive directory held as entry lines (six TAB-separated fields, see
// archive/format.h), in directory order. Owned by whoever reads the directory, for one run.
#pragma once

#include <memory>
#include <string>

struct TStringItem {
  std::string text;
};

class TEntryList {
 public:
  void ResetEntries();
  void AddEntry(const std::string& line);  // grows the storage by 8 slots when full
  int EntryCount() const { return count_; }
  int EntryCapacity() const { return capacity_; }
  std::string GetEntry(int index) const { return items_[index].text; }  // 0 <= index < EntryCount()
  void ClearEntries();

 private:
  std::unique_ptr<TStringItem[]> items_;
  int count_ = 0;
  int capacity_ = 0;
};

// Field n (from 1) of a line split at every occurrence of `separator`; empty when the line has
// fewer fields or n < 1. The separator is a C string: the callers pass constants, which would
// each become a temporary std::string.
std::string EntryField(const std::string& line, const char* separator, int n);
