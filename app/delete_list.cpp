#include "app/run_sequence.h"

#include "host/files.h"
#include "host/textfile.h"

// A member unpacked with the read-only attribute would survive a plain delete on Windows, so
// the attributes are cleared first, as before replacing a file at extraction.
void RemoveMember(const std::string& path) {
  SetAttributes(path, 0);
  RemoveFile(path);
}

void RemoveListedFiles(const std::string& listPath) {
  TextFile list;
  list.Open(listPath);
  while (!list.AtEnd()) {
    RemoveMember(list.ReadLine());
  }
  list.Close();
  RemoveFile(listPath);
}
