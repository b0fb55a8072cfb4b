// Entry of the native stub. Like the Windows one it reads no arguments and no environment of
// its own: everything comes from the archive appended to it.
#include "app/run_sequence.h"

int main() { return RunSelfExtractor(); }
