// Stored member names against the name check, TargetPathOf and CreateDirectoryChain: every name the check lets
// through must land below the target folder, with every directory it makes below it too, as
// Windows reads the path (both separators, "..", trailing dots and blanks).
#include <cstdlib>

#include "archive/directory.h"
#include "archive/member.h"
#include "host/exceptions.h"
#include "host/paths.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!IsSafeMemberName(name)) return 0;
  ScratchFolder folder;
  const std::string target = folder.Internal("Temp\\");
  WriteText(folder.Path("Temp/x"), "");
  FaultyFileSystem disk;
  disk.ConfineTo(target);
  ScopedFileSystem use(disk);
  std::string path = TargetPathOf(target, name, (data[0] & 1) != 0);
  std::vector<std::string> created;
  try {
    CreateDirectoryChain(DirectoryOf(path), created);
  } catch (const Exception&) {
    path.clear();
    // "This is not a valid directory name": a folder that cannot be made, told at the top.
  }
  if (!disk.ChangesOutside(target).empty()) std::abort();
  std::string resolved, folderItself;
  // A path Windows refuses cannot be written at all; one it takes must stay inside (the target
  // folder itself, from an empty or all-separator name, is refused by the create).
  if (!path.empty() && WindowsResolve(path, resolved) && !WindowsBelow(path, target) &&
      !(WindowsResolve(target, folderItself) && resolved == folderItself))
    std::abort();
  return 0;
}
