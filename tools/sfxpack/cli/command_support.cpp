#include "tools/sfxpack/cli/command_support.h"

#include <cstdio>
#include <exception>
#include <new>

#include "tools/sfxpack/errors.h"

void ReportError(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", kToolName, text.c_str());
}

namespace {

constexpr size_t kProblemsShown = 10;

}  // namespace

void ProblemList::Add(const std::string& text) {
  if (count_ < kProblemsShown) ReportError(text);
  ++count_;
}

void ProblemList::FailIfAny(const std::string& prefix, const std::string& what) {
  if (count_ == 0) return;
  if (count_ > kProblemsShown) {
    ReportError("(" + std::to_string(count_ - kProblemsShown) + " more not shown)");
  }
  throw EPackError(prefix + ": " + std::to_string(count_) + " " + what + (count_ == 1 ? "" : "s") +
                   "; nothing written");
}

int RunCommand(const std::string& command, const char* usage, const Arguments& args,
               const std::vector<TOptionDef>& known,
               const std::function<int(const ParsedOptions&)>& body) {
  try {
    const ParsedOptions options = ParseOptions(args, known);
    if (options.Has("--help")) {
      std::fputs(usage, stdout);
      return kExitSuccess;
    }
    const int code = body(options);
    if (std::fflush(stdout) != 0) {
      ReportError("cannot write the output");
      return kExitFailure;
    }
    return code;
  } catch (const EUsageError& failure) {
    std::fprintf(stderr, "%s %s: %s\nTry '%s %s --help'.\n", kToolName, command.c_str(),
                 failure.Message().c_str(), kToolName, command.c_str());
    return kExitUsage;
  } catch (const Exception& failure) {
    ReportError(failure.Message());
  } catch (const std::bad_alloc&) {
    ReportError("out of memory");
  } catch (const std::exception& failure) {
    ReportError(failure.what());
  }
  return kExitFailure;
}
