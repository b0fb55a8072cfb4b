// The i686 stub's unwinder pieces (main_stub_runtime.cpp has the rest of the replaced runtime).
//
// On i686 GCC unwinds by the DWARF tables in .eh_frame. libgcc's unwinder finds a frame's
// entry through its registry, which sorts every registered table into search arrays under a
// lock (about 10 KB with its unwind tables). The stub registers one table, crtbegin.o's, and
// raises exceptions only to report failures, so a walk along that table serves instead. On
// x86-64 the unwinder is the system's structured exception handling: none of this is linked
// there (app/CMakeLists.txt adds this file to 32-bit builds only).
#include <unwind.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef __SEH__
#error "main_stub_unwind.cpp replaces the DWARF unwinder's table lookup: for i686 builds only"
#endif

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

// The link-time optimiser gives functions with nothing but clean-ups the C language's
// personality routine, which would bring libgcc's second routine (about 1.5 KB). The C++
// routine handles such functions' tables (clean-ups only) in the same way.
_Unwind_Reason_Code __gxx_personality_v0(int, _Unwind_Action, _Unwind_Exception_Class,
                                         _Unwind_Exception*, _Unwind_Context*);
__attribute__((used)) _Unwind_Reason_Code __gcc_personality_v0(int version, _Unwind_Action actions,
                                                               _Unwind_Exception_Class exceptionClass,
                                                               _Unwind_Exception* exception,
                                                               _Unwind_Context* context) {
  return __gxx_personality_v0(version, actions, exceptionClass, exception, context);
}

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
