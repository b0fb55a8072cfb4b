// Exceptions in a program linked as the stub is: its own entry point, its replacements of the
// C++ runtime and, on i686, its own unwinder (app/win32/). A failure raised through frames with
// clean-ups runs each clean-up once, innermost first, and reaches its handler intact, also
// after a rethrow; a clean-up that raises and catches a failure of its own while another is in
// flight sees the runtime's count of uncaught failures; a misused container raises the
// program's own Exception. The exit code is 0, or the number of the check that failed.
#include <exception>
#include <string>

#include "app/run_sequence.h"
#include "host/exceptions.h"

namespace {

std::string Trace;

struct Cleanup {
  char mark;
  ~Cleanup() { Trace += mark; }
};

struct CleanupThatRaises {
  ~CleanupThatRaises() {
    Trace += std::uncaught_exceptions() == 1 ? 'u' : '?';
    try {
      throw EConvertError("inner");
    } catch (const Exception& inner) {
      Trace += inner.Message() == "inner" && std::uncaught_exceptions() == 1 ? 'i' : '?';
    }
  }
};

__attribute__((noinline)) void RaiseBelow(int depth) {
  const Cleanup cleanup{static_cast<char>('0' + depth)};
  if (depth == 0) throw EInOutError(5);
  RaiseBelow(depth - 1);
}

int Check(volatile int depth) {
  try {
    const CleanupThatRaises raises;
    const Cleanup outer{'o'};
    try {
      RaiseBelow(depth);
    } catch (const Exception&) {
      Trace += 'c';
      throw;
    }
  } catch (const EInOutError& failure) {
    if (failure.Code() != 5 || std::string(failure.ClassName()) != "EInOutError") return 1;
  }
  if (Trace != "0123coui") return 2;
  try {
    return std::string().at(static_cast<size_t>(depth)) == 0 ? 3 : 4;
  } catch (const Exception&) {
  }
  return std::uncaught_exceptions() == 0 ? 0 : 5;
}

}  // namespace

int RunSelfExtractor() { return Check(3); }
