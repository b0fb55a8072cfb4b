// What an extraction run needs of its caller: the progress display and the overwrite prompt.
// The caller (the run sequence, a test) decides how they reach the user.
#pragma once

#include <cstdint>
#include <string>

enum class OverwriteAnswer { Yes, No, Cancel };

class ExtractionObserver {
 public:
  virtual ~ExtractionObserver() = default;
  // After every hand-over of decoded bytes: the file being written and the compressed bytes
  // read so far of the run's total. The user may ask to stop meanwhile (the run's cancel flag).
  virtual void Progress(const std::string& target, int32_t done, int32_t total) = 0;
  // The "File Exists" question for a target that is there already.
  virtual OverwriteAnswer AskOverwrite(const std::string& path) = 0;
};
