// The entry list: the archive directory held as entry lines (six TAB-separated fields, see
// archive/format.h), in directory order. Process-global, alive for one extraction run.
#pragma once

#include <string>

struct TStringItem {
  std::string text;
};

void ResetEntries();
void AddEntry(const std::string& line);  // grows the storage by 8 slots when full
int EntryCount();
int EntryCapacity();
std::string GetEntry(int index);  // 0 <= index < EntryCount()
void ClearEntries();

// Field n (from 1) of a line split at every occurrence of `separator`; empty when the line has
// fewer fields or n < 1. The separator is a C string: the callers pass constants, which would
// each become a temporary std::string.
std::string EntryField(const std::string& line, const char* separator, int n);
