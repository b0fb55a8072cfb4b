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
// The unwinder looks up a frame's entry in the exception tables through libgcc's registry,
// which sorts every registered table into search arrays under a lock (about 10 KB with its
// unwind tables). The stub registers one table, crtbegin.o's, and raises exceptions only to
// report failures, so on i686 a walk along that table serves instead (below).
//
// The stub runs on one thread, so the runtime's thread-safe pieces are replaced by plain ones:
// the exception runtime's per-thread state (which brings emulated thread-local storage), the
// guard of function-local statics and the exception allocator with its locked emergency pool
// (which bring the runtime's mutex and its error classes): about 5 KB together.
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
// have the runtime's size: 96 bytes on i686, 160 on x86-64 with this compiler. It must be zeroed.
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

// The link-time optimiser gives functions with nothing but clean-ups the C language's
// personality routine, which would bring libgcc's second routine (about 1.5 KB). The C++
// routine handles such functions' tables (clean-ups only) in the same way. On x86-64, where
// the unwinder is the system's structured exception handling, the optimiser gives such
// functions no routine of their own, so there is nothing to replace.
#ifndef __SEH__
_Unwind_Reason_Code __gxx_personality_v0(int, _Unwind_Action, _Unwind_Exception_Class,
                                         _Unwind_Exception*, _Unwind_Context*);
__attribute__((used)) _Unwind_Reason_Code __gcc_personality_v0(int version, _Unwind_Action actions,
                                                               _Unwind_Exception_Class exceptionClass,
                                                               _Unwind_Exception* exception,
                                                               _Unwind_Context* context) {
  return __gxx_personality_v0(version, actions, exceptionClass, exception, context);
}
#endif

}  // extern "C"

#ifndef __SEH__
namespace {

// The program's exception table (.eh_frame): records of a 32-bit length, then a 32-bit word
// that is 0 in a common record (CIE) and in a frame record (FDE) the distance back to its
// CIE. crtend.o ends the table with a zero length.
const unsigned char* FrameTable = nullptr;

// DWARF pointer encodings: the low nibble gives the format, 0x70 what it is relative to.
constexpr unsigned kEncodingAbsolute = 0x00;
constexpr unsigned kEncodingUnsigned16 = 0x02;
constexpr unsigned kEncodingUnsigned32 = 0x03;
constexpr unsigned kEncodingSigned16 = 0x0A;
constexpr unsigned kEncodingSigned32 = 0x0B;
constexpr unsigned kEncodingPcRelative = 0x10;
constexpr unsigned kEncodingIndirect = 0x80;

uint32_t Word32(const unsigned char* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

const unsigned char* SkipLeb128(const unsigned char* p) {
  while (*p++ & 0x80) {
  }
  return p;
}

std::size_t EncodedSize(unsigned encoding) {
  switch (encoding & 0x0F) {
    case kEncodingAbsolute:
    case kEncodingUnsigned32:
    case kEncodingSigned32:
      return 4;
    case kEncodingUnsigned16:
    case kEncodingSigned16:
      return 2;
  }
  std::abort();  // not written by this compiler for a 32-bit program
}

// As libgcc reads a pointer: a zero stays zero (an entry whose code the link dropped); only
// pc-relative values have a base, the table being registered without text or data bases.
uintptr_t ReadEncoded(unsigned encoding, const unsigned char* p) {
  uintptr_t value = 0;
  switch (encoding & 0x0F) {
    case kEncodingUnsigned16: value = static_cast<uint16_t>(p[0] | p[1] << 8); break;
    case kEncodingSigned16: value = static_cast<uintptr_t>(static_cast<int16_t>(p[0] | p[1] << 8)); break;
    case kEncodingAbsolute:
    case kEncodingUnsigned32:
    case kEncodingSigned32: value = Word32(p); break;
    default: std::abort();
  }
  if (value == 0) return 0;
  if ((encoding & 0x70) == kEncodingPcRelative) value += reinterpret_cast<uintptr_t>(p);
  if (encoding & kEncodingIndirect) value = *reinterpret_cast<const uintptr_t*>(value);
  return value;
}

// The encoding of the code addresses in the frame records of `cie`: its augmentation "z..."
// holds it after an 'R'; without one they are absolute.
unsigned FrameEncoding(const unsigned char* cie) {
  const unsigned char version = cie[8];
  const char* augmentation = reinterpret_cast<const char*>(cie + 9);
  if (augmentation[0] != 'z') return kEncodingAbsolute;
  const unsigned char* p = cie + 9 + std::strlen(augmentation) + 1;
  p = SkipLeb128(SkipLeb128(p));              // code and data alignment factors
  p = version == 1 ? p + 1 : SkipLeb128(p);  // return address column
  p = SkipLeb128(p);                         // augmentation data length
  for (const char* letter = augmentation + 1; *letter; ++letter) {
    switch (*letter) {
      case 'R': return *p;
      case 'P': p += 1 + EncodedSize(*p); break;  // personality routine
      case 'L': p += 1; break;                    // encoding of the handler tables
      default: return kEncodingAbsolute;          // unknown: libgcc reads no further either
    }
  }
  return kEncodingAbsolute;
}

}  // namespace

extern "C" {

// What the unwinder learns with a frame record, laid out as libgcc declares it.
struct dwarf_eh_bases {
  void* tbase;
  void* dbase;
  void* func;
};

// crtbegin.o registers the table at start-up and withdraws it at exit.
__attribute__((used)) void __register_frame_info(const void* table, void*) {
  FrameTable = static_cast<const unsigned char*>(table);
}
__attribute__((used)) void* __deregister_frame_info(const void*) {
  FrameTable = nullptr;
  return nullptr;
}

// The frame record whose code range holds `pc`, or null.
__attribute__((used)) const void* _Unwind_Find_FDE(void* pc, dwarf_eh_bases* bases) {
  if (!FrameTable) return nullptr;
  const uintptr_t address = reinterpret_cast<uintptr_t>(pc);
  for (const unsigned char* record = FrameTable; Word32(record) != 0; record += 4 + Word32(record)) {
    const uint32_t cieDistance = Word32(record + 4);
    if (cieDistance == 0) continue;
    const unsigned encoding = FrameEncoding(record + 4 - cieDistance);
    const unsigned char* range = record + 8;
    const uintptr_t begin = ReadEncoded(encoding, range);
    if (begin == 0) continue;
    const uintptr_t length = ReadEncoded(encoding & 0x0F, range + EncodedSize(encoding));
    if (address - begin < length) {
      bases->tbase = nullptr;
      bases->dbase = nullptr;
      bases->func = reinterpret_cast<void*>(begin);
      return record;
    }
  }
  return nullptr;
}

}  // extern "C"
#endif

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
