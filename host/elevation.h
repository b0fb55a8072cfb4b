// Starting a program that asks for administrator rights.
//
// A program whose manifest requires administrator rights (or that Windows' installer detection
// takes for a setup program) cannot be created by a process without them: CreateProcessA fails
// with ERROR_ELEVATION_REQUIRED. The shell can start it after the user's consent, with the
// verb "runas"; for that the command line has to be split into the program and its parameters.
#pragma once

#include <string>

#include "host/function_ref.h"

constexpr unsigned long kErrorElevationRequired = 740;

struct TProgramAndParameters {
  std::string program;
  std::string parameters;
};

// Splits a command line the way CreateProcessA does with no application name: a program in
// quotes is what stands between them; otherwise the line is cut at each blank or tab, shortest
// first, and the first cut that names an existing file (or, without an extension, that file +
// ".exe", which is then the program) is the program; when none does, the cut at the first
// blank. The parameters are the rest without its leading blanks.
TProgramAndParameters SplitCommandLine(const std::string& commandLine,
                                       const FunctionRef<bool(const std::string&)>& isPresent);

// What the elevated start needs of the system; the Win32 layer implements it with the shell.
class ElevatedStarter {
 public:
  virtual ~ElevatedStarter() = default;
  virtual bool IsPresent(const std::string& path) = 0;
  // Starts the program with administrator rights; false when it was not started (the user
  // refused consent, the shell is not available).
  virtual bool StartElevated(const std::string& program, const std::string& parameters,
                             bool hidden) = 0;
  // Waits for the started program as for a created one: until idle, then until it has ended;
  // returns its exit code.
  virtual int WaitForStarted() = 0;
  virtual void ReleaseStarted() = 0;
};

// Called after CreateProcessA failed with createError. Only ERROR_ELEVATION_REQUIRED leads to
// a second attempt through the starter; the result is whether the program was started, and
// with wait the call returns only when it has ended, its exit code in `exitCode`.
bool LaunchAfterCreateFailure(unsigned long createError, ElevatedStarter& starter,
                              const std::string& commandLine, bool hidden, bool wait, int& exitCode);
