// The user interface the benchmarks give an extraction run: no window, every overwrite
// allowed, and any message the run shows ends the benchmark, since a figure measured over a
// failed run would be meaningless.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/user_interface.h"

class QuietUserInterface : public UserInterface {
 public:
  void OpenProgress() override {}
  void CloseProgress() override {}
  void UpdateProgress(const std::string&, int32_t, int32_t) override {}
  OverwriteAnswer AskOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
  void ShowMessage(const std::string& text, const std::string& caption, unsigned) override {
    std::fprintf(stderr, "the run reported: %s: %s\n", caption.c_str(), text.c_str());
    std::exit(1);
  }
};
