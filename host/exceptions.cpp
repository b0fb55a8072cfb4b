#include "host/exceptions.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "host/paths.h"

// Messages are Windows-1252 bytes (see the header).
const char kInvalidOpMessage[] = "Fehler bei Gleitkomma-Operation";
const char kZeroDivideMessage[] = "Gleitkommadivision durch Null";
const char kOverflowMessage[] = "\xDC" "berlauf bei Gleitkomma-Operation";
const char kOutOfMemoryMessage[] = "Speicher reicht nicht aus";

// Out of line and never inlined, so that the return address is the code that raised.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), address_(__builtin_return_address(0)) {}

Exception::Exception(std::string message, const void* address)
    : message_(std::move(message)), address_(address) {}

__attribute__((noinline)) EInOutError::EInOutError(int code)
    : Exception(MessageFor(code), __builtin_return_address(0)), code_(code) {}

std::string EInOutError::MessageFor(int code) {
  switch (code) {
    case 2: return "Datei nicht gefunden";
    case 3: return "Ung\xFCltiger Dateiname";
    case 4: return "Zu viele Dateien ge\xF6" "ffnet";
    case 5: return "Dateizugriff verweigert";
    case 100: return "Lesen nach Dateiende (EOF)";
    case 101: return "Kapazit\xE4t der Diskette/Festplatte ersch\xF6pft";
    case 106: return "Ung\xFCltige numerische Eingabe";
    default: return "I/O-Fehler " + std::to_string(code);
  }
}

namespace {

// The report shows at most 63 characters of the program's file name.
constexpr size_t kReportModuleNameLimit = 63;

const char* FinalPeriod(const std::string& message) {
  return !message.empty() && message.back() != '.' ? "." : "";
}

}  // namespace

std::string ErrorReportText(const Exception& failure, const std::string& moduleFileName) {
  const std::string module = FileNameOf(moduleFileName).substr(0, kReportModuleNameLimit);
  // The address is shown as eight upper-case hexadecimal digits; a 64-bit build shows more
  // where the address needs them.
  char address[24];
  std::snprintf(address, sizeof address, "%08llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(failure.Address())));
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "Exception %s im Modul %s bei %s.\n%s%s",
                failure.ClassName(), module.c_str(), address, failure.Message().c_str(),
                FinalPeriod(failure.Message()));
  return buffer;
}

std::string Cp1252ToUtf8(const std::string& text) {
  // 0x80..0x9F hold typographic signs in Windows-1252; the messages use none of them, so they
  // are mapped like Latin-1, which keeps the conversion a small formula.
  std::string out;
  out.reserve(text.size() + 8);
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
