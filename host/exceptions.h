// Failure classes. Every failure of this program is a C++ exception derived from Exception,
// carrying a message text; the class name is what the top-level error report shows.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  const std::string& Message() const { return message_; }
  // The code address at which the failure was raised, for the top-level error report.
  const void* Address() const { return address_; }
  virtual const char* ClassName() const { return "Exception"; }
  const char* what() const noexcept override { return message_.c_str(); }

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
SFX_DECLARE_EXCEPTION(EInvalidOp, Exception);
SFX_DECLARE_EXCEPTION(EZeroDivide, Exception);
SFX_DECLARE_EXCEPTION(EOverflow, Exception);

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
std::string ErrorReportText(const Exception& failure, const std::string& moduleFileName);
