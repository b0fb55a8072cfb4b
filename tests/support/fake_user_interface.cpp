#include "tests/support/fake_user_interface.h"

void FakeUserInterface::UpdateProgress(const std::string& path, int32_t done, int32_t total) {
  progress.push_back({path, done, total});
  FullRepaintPending = false;
  if (cancelAtProgress > 0 && static_cast<int>(progress.size()) == cancelAtProgress) CancelRequested = true;
}

OverwriteAnswer FakeUserInterface::AskOverwrite(const std::string& path) {
  asked.push_back(path);
  if (answers.empty()) return unscripted;
  OverwriteAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeUserInterface::ShowMessage(const std::string& text, const std::string& caption, unsigned style) {
  messages.push_back({text, caption, style});
}
