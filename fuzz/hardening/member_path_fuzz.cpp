// Stored member names against the name check and BuildTargetPath: every name the check lets
// through must land below the target folder, with every directory it makes below it too, as
// Windows resolves the path (both separators, "..", trailing dots and blanks).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/directory.h"
#include "archive/member.h"
#include "host/exceptions.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {
const char kTarget[] = "C:\\Temp\\";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool useDirs = (data[0] & 1) != 0;
  std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!IsSafeMemberName(name)) return 0;

  MemoryFileSystem disk;
  disk.AddDirectory(kTarget);
  ScopedFileSystem use(disk);
  std::string target;
  try {
    target = BuildTargetPath(kTarget, name, useDirs);
  } catch (const Exception&) {
    // "This is not a valid directory name": a folder that cannot be made, told at the top.
  }
  if (!disk.ChangesOutside(kTarget).empty()) std::abort();
  if (target.empty()) return 0;
  std::string resolved;
  int error = 0;
  // A path Windows refuses cannot be written at all; one it takes must stay inside.
  if (MemoryFileSystem::Resolve(target, resolved, error) && !MemoryFileSystem::IsBelow(resolved, kTarget)) {
    // The target folder itself (an empty or all-separator name) is refused by the create.
    std::string folder;
    MemoryFileSystem::Resolve(kTarget, folder, error);
    if (resolved != folder) std::abort();
  }
  return 0;
}
