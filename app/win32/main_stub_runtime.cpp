// Parts of the C++ runtime that the Windows stub replaces to stay small.
//
// libstdc++ reports a misused container through the std::__throw_* functions. Its own versions
// build std::logic_error and friends, which carry a second, reference-counted string
// implementation, and its default terminate handler prints a demangled type name: together
// about 100 KB of a statically linked stub that never needs them. Providing the functions here
// keeps the linker from pulling those objects in. The failures become this program's own
// Exception, so they still end in the top-level error report.
//
// Likewise std::string: libstdc++ brings every member of its string class in one object of
// 33 KB. Instantiated here instead, from the same headers, each member is a section of its
// own, and the linker keeps only those the stub calls (about 13 KB less).
//
// On i686 the unwinder's frame lookup and the C language's personality routine are replaced
// too (main_stub_unwind.cpp).
//
// The stub runs on one thread, so the runtime's thread-safe pieces are replaced by plain ones:
// the exception runtime's per-thread state (which brings emulated thread-local storage), the
// guard of function-local statics and the exception allocator with its locked emergency pool
// (which bring the runtime's mutex and its error classes): about 5 KB together.
//
// All of this rests on how GCC 12's libstdc++ and libgcc work inside: the exception header's
// layout, the names of the functions that the runtime's objects would otherwise bring, how
// crtbegin.o registers the frame table, what the unwinder asks of a frame lookup. Another
// version may change any of them without a word from the linker, and the stub would fail only
// when it reports a failure. Check each against that version's sources (and run the test
// stub_runtime, tests/app/win32/) before admitting it here.
#if !defined(__GNUC__) || defined(__clang__) || __GNUC__ != 12
#error "The stub's runtime replacements (app/win32/main_stub_runtime.cpp) are checked with GCC 12 only"
#endif

#include <cxxabi.h>
#include <unwind.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "host/exceptions.h"

template class std::basic_string<char>;

namespace __cxxabiv1 {

// The layout the C++ ABI gives the exception runtime's per-thread state.
struct __cxa_eh_globals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

}  // namespace __cxxabiv1

namespace {

__cxxabiv1::__cxa_eh_globals ExceptionState;

// The runtime's own bookkeeping in front of each thrown object, laid out as the C++ ABI gives
// it (a reference count, then the exception record, whose unwinder header is aligned for any
// type). The runtime finds it at a fixed distance before the object, so the copy here must
// have the runtime's size: 96 bytes on i686, 160 on x86-64 with GCC 12 (asserted below). It
// must be zeroed.
struct RefcountedExceptionLayout {
  int referenceCount;
  struct {
    void* exceptionType;
    void (*exceptionDestructor)(void*);
    void (*unexpectedHandler)();
    void (*terminateHandler)();
    void* nextException;
    int handlerCount;
    int handlerSwitchValue;
    const unsigned char* actionRecord;
    const unsigned char* languageSpecificData;
    _Unwind_Ptr catchTemp;
    void* adjustedPtr;
    _Unwind_Exception unwindHeader;
  } exception;
};
constexpr std::size_t kExceptionHeader = sizeof(RefcountedExceptionLayout);
static_assert(kExceptionHeader == (sizeof(void*) == 4 ? 96 : 160),
              "the exception header differs from GCC 12's __cxa_refcounted_exception");

// An exception must still be raised when memory has run out (EOutOfMemory, std::bad_alloc):
// one object at a time may come from this reserve.
alignas(16) unsigned char ExceptionReserve[512];
bool ExceptionReserveInUse = false;

void* ExceptionMemory(std::size_t size) {
  if (void* memory = std::malloc(size)) return memory;
  if (ExceptionReserveInUse || size > sizeof ExceptionReserve) std::abort();
  ExceptionReserveInUse = true;
  return ExceptionReserve;
}

}  // namespace

extern "C" {

__cxxabiv1::__cxa_eh_globals* __cxa_get_globals() noexcept { return &ExceptionState; }
__cxxabiv1::__cxa_eh_globals* __cxa_get_globals_fast() noexcept { return &ExceptionState; }

void* __cxa_allocate_exception(std::size_t thrown_size) noexcept {
  auto* memory = static_cast<unsigned char*>(ExceptionMemory(thrown_size + kExceptionHeader));
  std::memset(memory, 0, kExceptionHeader);
  return memory + kExceptionHeader;
}

void __cxa_free_exception(void* thrown) noexcept {
  unsigned char* memory = static_cast<unsigned char*>(thrown) - kExceptionHeader;
  if (memory == ExceptionReserve)
    ExceptionReserveInUse = false;
  else
    std::free(memory);
}

// The first byte of a guard tells whether its static has been constructed (the compiler tests
// it inline before calling here).
int __cxa_guard_acquire(__cxxabiv1::__guard* guard) { return *reinterpret_cast<char*>(guard) == 0; }
void __cxa_guard_release(__cxxabiv1::__guard* guard) noexcept { *reinterpret_cast<char*>(guard) = 1; }
void __cxa_guard_abort(__cxxabiv1::__guard*) noexcept {}

}  // extern "C"

namespace __gnu_cxx {

// Only reached when a failure escapes the run sequence's handlers, which catch everything
// the program raises.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

void __throw_logic_error(const char* message) { throw Exception(message); }
void __throw_domain_error(const char* message) { throw Exception(message); }
void __throw_invalid_argument(const char* message) { throw Exception(message); }
void __throw_length_error(const char* message) { throw Exception(message); }
void __throw_out_of_range(const char* message) { throw Exception(message); }
void __throw_out_of_range_fmt(const char* format, ...) { throw Exception(format); }
void __throw_runtime_error(const char* message) { throw Exception(message); }
void __throw_range_error(const char* message) { throw Exception(message); }
void __throw_overflow_error(const char* message) { throw Exception(message); }
void __throw_underflow_error(const char* message) { throw Exception(message); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_bad_exception() { throw Exception("bad_exception"); }
void __throw_bad_cast() { throw Exception("bad_cast"); }
void __throw_bad_typeid() { throw Exception("bad_typeid"); }
void __throw_bad_function_call() { throw Exception("bad_function_call"); }

}  // namespace std
