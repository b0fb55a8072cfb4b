// Entry of the Windows stub.
#include <windows.h>

#include <cstdlib>

#include "app/run_sequence.h"

// The static constructors (libgcc's, from the list the linker builds); the first of them
// registers the program's exception tables.
extern "C" void __main();

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

namespace {

// What the start-up code would run at the end: static destructors, registered by the compiler
// and by libgcc's start-up through atexit. The C runtime's DLL offers atexit only as a data
// symbol that the omitted start-up code wraps, so the stub keeps its own short list.
constexpr int kExitFunctionLimit = 32;
void (*ExitFunctions[kExitFunctionLimit])();
int ExitFunctionCount = 0;

void RunExitFunctions() {
  while (ExitFunctionCount > 0) ExitFunctions[--ExitFunctionCount]();
}

}  // namespace

extern "C" __attribute__((noinline)) int atexit(void (*function)()) {
  if (ExitFunctionCount == kExitFunctionLimit) return -1;
  ExitFunctions[ExitFunctionCount++] = function;
  return 0;
}

// The process starts here (the link sets it as the entry point), without the C runtime's
// start-up code. What the stub needs of that code is done here: the FPU set to extended
// precision as that code leaves it (fninit; the date and number conversions rely on it), the
// static constructors, and at the end the registered exit functions.
extern "C" __attribute__((force_align_arg_pointer)) void StubStart() {
  asm volatile("fninit");
  __main();
  const int exitCode = RunSelfExtractor();
  RunExitFunctions();
  std::exit(exitCode);
}
