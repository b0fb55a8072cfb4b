#include "app/run_folder.h"

#include <cstdint>

#include "app/run_sequence.h"
#include "archive/format.h"
#include "host/files.h"
#include "host/platform.h"

namespace {

constexpr char kRunFolderPrefix[] = "sfx-";
constexpr int kNameCharacters = 15;  // 60 random bits, four a letter from "a" to "p"
constexpr int kAttempts = 16;
constexpr int kErrorNoRandomSource = 1000;

bool RandomName(std::string& name) {
  uint8_t random[kNameCharacters];
  if (!RandomBytes(random, sizeof random)) return false;
  name = kRunFolderPrefix;
  for (uint8_t byte : random) name += static_cast<char>('a' + (byte & 15));
  return true;
}

}  // namespace

// A name that exists is passed over, never used: another program may have made it first.
int CreateRunFolder(const std::string& temporaryDirectory, std::string& folder) {
  int error = kErrorAlreadyExists;
  for (int attempt = 0; attempt < kAttempts && error == kErrorAlreadyExists; ++attempt) {
    std::string name;
    if (!RandomName(name)) return kErrorNoRandomSource;
    folder = temporaryDirectory + name;
    if (MakePrivateDirectory(folder)) {
      folder += '\\';
      return 0;
    }
    error = CurrentFileSystem().LastError();
  }
  folder.clear();
  return error;
}

void CleanUpRun(const TExtractionRun& run, const std::string& runFolder, bool afterProgram) {
  const std::string list = run.memberDirectory + kDeleteListName;
  if (afterProgram) {
    RemoveListedFiles(list);
  } else {
    for (const std::string& file : run.createdFiles) RemoveMember(file);
    RemoveFile(list);
  }
  for (auto it = run.createdFolders.rbegin(); it != run.createdFolders.rend(); ++it) RemoveFolder(*it);
  if (!runFolder.empty()) RemoveFolder(runFolder);
}
