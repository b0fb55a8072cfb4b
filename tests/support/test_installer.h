// Installers for the archive tests, the fault walk and the fuzz targets: members encoded with
// the real encoder, laid out with the builder's writer behind a stub of a few bytes; and an
// extraction run with a scripted user.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/extraction.h"

struct TestMember {
  TestMember(std::string name, std::vector<uint8_t> content, int32_t attributes = 32, long double dateTime = 45000.5)
      : name(std::move(name)), content(std::move(content)), attributes(attributes), dateTime(dateTime) {}
  std::string name;
  std::vector<uint8_t> content;
  int32_t attributes = 32;
  long double dateTime = 45000.5;       // 2023-03-15 12:00
  std::optional<int32_t> unpackedSize;  // recorded size; the content's size if unset
  std::optional<ArchiveBytes> stream;   // stored stream; the encoded content if unset
};

constexpr int32_t kTestStubSize = 100;
constexpr char kConfigHead[] = "[KVTR Configuration]\r\n";

std::vector<uint8_t> Bytes(const std::string& text);
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);
inline TestMember TextMember(const std::string& name, const std::string& text) { return {name, Bytes(text)}; }
// The configuration member with the given keys (lines ending in CR LF).
inline TestMember Config(const std::string& keys) { return TextMember(kConfigMemberName, kConfigHead + keys); }

// Stub bytes followed by the archive of the members in order (the configuration member last),
// and the checksum block when asked for: each member's CRC is that of its content, whatever
// its stream holds.
ArchiveBytes MakeInstaller(const std::vector<TestMember>& members, bool checksums = false);
ArchiveBytes WithStub(const ArchiveBytes& archive);

// The user of a run: answers the overwrite prompt from a script and can press "Abbruch" at a
// chosen progress report.
class FakeObserver : public ExtractionObserver {
 public:
  void Progress(const std::string& path, int32_t done, int32_t total) override {
    progress.push_back({path, done, total});
    if (static_cast<int>(progress.size()) == cancelAtProgress) cancelRequested = true;
  }
  OverwriteAnswer AskOverwrite(const std::string& path) override {
    asked.push_back(path);
    if (answers.empty()) return unscripted;
    const OverwriteAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  struct Report {
    std::string path;
    int32_t done, total;
  };
  std::deque<OverwriteAnswer> answers;
  OverwriteAnswer unscripted = OverwriteAnswer::Yes;  // the answer of a box that was not shown
  int cancelAtProgress = 0;                           // 0: never
  bool cancelRequested = false;
  std::vector<Report> progress;
  std::vector<std::string> asked;
};

// One extraction run with a fake user; the failure it ended with stays in `run`.
struct TestRun {
  FakeObserver user;
  TExtractionRun run{user, user.cancelRequested};
  std::string Extract(const std::string& installer, const std::string& target, int32_t offset = kTestStubSize) {
    return ExtractArchiveAt(run, installer, offset, target);
  }
};
