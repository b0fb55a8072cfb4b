#include "app/run_sequence.h"

#include "host/files.h"
#include "host/textfile.h"

void RemoveListedFiles(const std::string& listPath) {
  TextFile list;
  list.Open(listPath);
  while (!list.AtEnd()) RemoveFile(list.ReadLine());
  list.Close();
  RemoveFile(listPath);
}
