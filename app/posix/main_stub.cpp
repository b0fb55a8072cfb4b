// Entry of the native stub. Like the Windows one it reads no environment of its own: everything
// comes from the archive appended to it. Its arguments are kept only to be passed on to the
// program, where the archive asks for that.
#include "app/run_sequence.h"
#include "host/launch.h"

int main(int argc, char** argv) {
  KeepProgramArguments(argc, argv);
  return RunSelfExtractor();
}
