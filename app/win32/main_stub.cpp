// Entry of the Windows stub.
#include <windows.h>

#include "app/run_sequence.h"

namespace {

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
constexpr DWORD kSearchSystem32Only = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// An installer is usually started from the downloads folder, where anyone may have left a DLL
// named like one the system loads on demand (for themes, dialogs, version checks). Restricting
// the search to the system folder keeps such a file from ever being loaded. Older systems
// without SetDefaultDllDirectories at least drop the current folder from the search.
void RestrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
                                 GetProcAddress(kernel, "SetDefaultDllDirectories")))
                           : nullptr;
  if (!setDefault || !setDefault(kSearchSystem32Only)) SetDllDirectoryA("");
}

// Runs before the C++ start-up of every other object in the program and before WinMain, so
// nothing the run sequence pulls in can load a DLL first.
__attribute__((constructor(101))) void HardenDllSearch() { RestrictDllSearch(); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSelfExtractor(); }
