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
#include <cstdlib>
#include <new>
#include <string>

#include "host/exceptions.h"

template class std::basic_string<char>;

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
