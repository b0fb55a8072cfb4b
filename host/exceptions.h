// Failure classes. Every failure of this program is a C++ exception derived from Exception,
// carrying a message text; the class name is what the top-level error report shows.
//
// What raises and what reports by result: a class is raised only where the program raises
// that failure and someone needs its class - EConvertError from the conversions, EInOutError
// from the text-file services, EOutOfMemory, Exception for "This is not a valid directory
// name", ECompress from a decoder call that cannot be carried out, EArchiveFormat in the
// directory reader - and it ends either at the catch of the code that recovers from it or in
// the top-level error report.
// Everything else reports by result and never raises: the file-system services (-1, false,
// an error code), and member extraction and the extraction run (their outcome, with the
// failure to tell), whose caller decides what the user is told.
//
// Character set of the messages: the German texts of the host services are held in the
// Windows-1252 code page (e.g. "\xFC" for u-umlaut), because that is what MessageBoxA shows on
// the Windows build. Message() therefore returns Windows-1252 bytes on every build; the POSIX
// layer converts to UTF-8 only where it prints (TerminalText).
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  // Records the caller's code address as the point where the failure was raised.
  explicit Exception(std::string message);
  const std::string& Message() const { return message_; }
  // The code address at which the failure was raised, for the top-level error report.
  const void* Address() const { return address_; }
  virtual const char* ClassName() const { return "Exception"; }
  const char* what() const noexcept override { return message_.c_str(); }

 protected:
  Exception(std::string message, const void* address);

 private:
  std::string message_;
  const void* address_;
};

#define SFX_DECLARE_EXCEPTION(Name, Base)                            \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const override { return #Name; }          \
  }

SFX_DECLARE_EXCEPTION(EConvertError, Exception);
SFX_DECLARE_EXCEPTION(EOutOfMemory, Exception);

extern const char kOutOfMemoryMessage[];  // "Speicher reicht nicht aus"

// An input/output failure of the text-file services. The message follows from the code:
// 2, 3, 4, 5, 100, 101 and 106 have texts of their own, any other code "I/O-Fehler %d".
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  int Code() const { return code_; }
  const char* ClassName() const override { return "EInOutError"; }
  static std::string MessageFor(int code);

 private:
  int code_;
};

// The text of the top-level error report for a failure that nothing caught:
// "Exception %s im Modul %s bei %p.\n%s%s", cut to the 255 characters its buffer holds.
// moduleFileName may be the program's whole path; only its file-name part is shown.
std::string ErrorReportText(const Exception& failure, const std::string& moduleFileName);

// A message as a UTF-8 terminal shows it. Its fixed texts are Windows-1252 while the native
// build's paths are UTF-8 already: a valid UTF-8 sequence stays as it is, any other byte above
// 0x7F is read as Windows-1252, and the internal path separator "\" becomes "/" (the messages
// hold no other backslash).
std::string TerminalText(const std::string& text);
