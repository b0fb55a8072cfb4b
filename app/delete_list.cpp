#include "app/run_sequence.h"

#include "host/files.h"
#include "host/textfile.h"

// A member unpacked with the read-only attribute would survive a plain delete on Windows, so
// the attributes are cleared first, as before replacing a file at extraction.
void RemoveListedFiles(const std::string& listPath) {
  TextFile list;
  list.Open(listPath);
  while (!list.AtEnd()) {
    const std::string path = list.ReadLine();
    SetAttributes(path, 0);
    RemoveFile(path);
  }
  list.Close();
  RemoveFile(listPath);
}
