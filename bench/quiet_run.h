// An extraction run as the benchmarks make it: no progress shown, every overwrite allowed, and
// a failure of the run ends the benchmark, since a figure measured over a failed run would be
// meaningless.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/extraction.h"

class QuietObserver : public ExtractionObserver {
 public:
  void Progress(const std::string&, int32_t, int32_t) override {}
  OverwriteAnswer AskOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
};

inline void QuietExtract(const std::string& installer, int32_t offset, const std::string& target) {
  QuietObserver observer;
  bool cancelRequested = false;
  TExtractionRun run(observer, cancelRequested);
  ExtractArchiveAt(run, installer, offset, target);
  if (run.failure.Happened()) {
    std::fprintf(stderr, "the run reported: %s: %s\n", run.failure.caption.c_str(), run.failure.text.c_str());
    std::exit(1);
  }
}
