// The failures of sfxpack. A run ends with exit code 1 on EPackError (the message names the
// file and the reason) and with 2 on EUsageError (a command line that makes no sense).
#pragma once

#include <string>

#include "host/exceptions.h"

SFX_DECLARE_EXCEPTION(EPackError, Exception);
SFX_DECLARE_EXCEPTION(EUsageError, Exception);

// "FILE: reason", the form every error message of the tool takes.
[[noreturn]] inline void FailOnFile(const std::string& file, const std::string& reason) {
  throw EPackError(file + ": " + reason);
}
