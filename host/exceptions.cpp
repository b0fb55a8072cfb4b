#include "host/exceptions.h"

#include <cstdint>
#include <utility>

#include "host/paths.h"

// Messages are Windows-1252 bytes (see the header).
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

// The report shows at most 63 characters of the program's file name, and the whole text is
// formatted into a buffer of 256 characters, NUL included.
constexpr size_t kReportModuleNameLimit = 63;
constexpr size_t kReportTextLimit = 255;

const char* FinalPeriod(const std::string& message) {
  return !message.empty() && message.back() != '.' ? "." : "";
}

// Upper-case hexadecimal, at least eight digits: exactly eight on the 32-bit build, more on a
// 64-bit one where the address needs them. Formatted by hand to keep the C library's printf
// (about 30 KB) out of the Windows stub.
std::string AddressText(const void* address) {
  uintptr_t value = reinterpret_cast<uintptr_t>(address);
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789ABCDEF"[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (digits.size() < 8) digits.insert(0, 8 - digits.size(), '0');
  return digits;
}

}  // namespace

// "Exception %s im Modul %s bei %p.\n%s%s"
std::string ErrorReportText(const Exception& failure, const std::string& moduleFileName) {
  std::string text = "Exception ";
  text += failure.ClassName();
  text += " im Modul ";
  text += FileNameOf(moduleFileName).substr(0, kReportModuleNameLimit);
  text += " bei ";
  text += AddressText(failure.Address());
  text += ".\n";
  text += failure.Message();
  text += FinalPeriod(failure.Message());
  if (text.size() > kReportTextLimit) text.resize(kReportTextLimit);
  return text;
}

namespace {

// The length of the UTF-8 sequence at `at` (2 to 4), or 0 when none starts there.
size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t sequence = c >= 0x80 ? Utf8SequenceAt(text, i) : 0;
    if (sequence > 0) {
      out.append(text, i, sequence);
      i += sequence;
      continue;
    }
    // 0x80..0x9F hold typographic signs in Windows-1252; the messages use none of them, so
    // they are mapped like Latin-1, which keeps the conversion a small formula.
    if (c < 0x80) {
      out += c == '\\' ? '/' : static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
    ++i;
  }
  return out;
}
