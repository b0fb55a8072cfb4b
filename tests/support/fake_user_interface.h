// A UserInterface for tests: records progress reports and messages, answers the overwrite
// prompt from a script, and can press "Abbruch" at a chosen progress report.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ui/user_interface.h"

class FakeUserInterface : public UserInterface {
 public:
  struct Progress {
    std::string path;
    int32_t done;
    int32_t total;
  };
  struct Message {
    std::string text;
    std::string caption;
    unsigned style;
  };

  void OpenProgress() override { ++opened; }
  void CloseProgress() override { ++closed; }
  void UpdateProgress(const std::string& path, int32_t done, int32_t total) override;
  OverwriteAnswer AskOverwrite(const std::string& path) override;
  void ShowMessage(const std::string& text, const std::string& caption, unsigned style) override;

  // Answers given in order; `unscripted` once they run out (by default Yes, the answer of a
  // box that was not shown).
  std::deque<OverwriteAnswer> answers;
  OverwriteAnswer unscripted = OverwriteAnswer::Yes;
  // The progress report with this number (from 1) sets CancelRequested; 0: never.
  int cancelAtProgress = 0;

  int opened = 0;
  int closed = 0;
  std::vector<Progress> progress;
  std::vector<std::string> asked;
  std::vector<Message> messages;
};

// Puts a user interface in place for CurrentUserInterface() while in scope.
class ScopedUserInterface {
 public:
  explicit ScopedUserInterface(UserInterface& ui) { SetCurrentUserInterface(&ui); }
  ~ScopedUserInterface() { SetCurrentUserInterface(nullptr); }
  ScopedUserInterface(const ScopedUserInterface&) = delete;
  ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;
};
