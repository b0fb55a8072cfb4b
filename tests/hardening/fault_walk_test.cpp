// Fault injection through the host seam: a small installer is unpacked over the in-memory file
// system (and, when a command comes back, cleaned up as the run sequence does) once without
// faults to count the calls, then once for every call of every kind failing with each of the
// Windows error codes such a call really meets. Every run must end in an outcome the user can
// understand and leave the disk safe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/run_sequence.h"
#include "archive/archive_writer.h"
#include "archive/crc32.h"
#include "archive/extraction.h"
#include "host/exceptions.h"
#include "lzh/lzh.h"
#include "tests/support/fake_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/memory_file_system.h"

namespace {

const char kInstallerPath[] = "C:\\Downloads\\setup-installer.exe";
const char kTarget[] = "C:\\Temp\\";
const char kKeptElsewhere[] = "C:\\Temp\\other program\\settings.ini";
constexpr int32_t kStubSize = 96;

struct Member {
  std::string name;     // as stored
  std::string written;  // where it lands
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> TextBytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? (seed >> 16) : "installer data "[i % 15]);
  }
  return bytes;
}

// The checksum block behind the data: sound; damaged or written for another member count
// (the directory is refused); or sound with a CRC that the last member or the configuration
// member does not match. Only with a sound block and matching members may anything start,
// whatever fails besides.
enum class Block { Sound, Damaged, WrongCount, LastMemberMismatch, ConfigMismatch };

// One installer and what a run of it should leave behind.
struct Scenario {
  std::string label;
  std::string config;
  std::vector<Member> members;  // the configuration member excluded
  std::string keptFile;         // exists before the run; the prompt answers No for it
  std::vector<uint8_t> image;   // stub bytes + archive
  bool damaged = false;         // the block or a member's checksum is wrong
};

void PutCrc(std::vector<uint8_t>& bytes, size_t at, uint32_t crc) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(crc >> (8 * i));
}

Scenario MakeScenario(bool useDirs, bool askFirst, Block block = Block::Sound) {
  Scenario s;
  s.label = std::string(useDirs ? "UseDirs=1" : "UseDirs=0") + (askFirst ? " OverWrite=0" : " OverWrite=1");
  std::string dirs = useDirs ? "1" : "0";
  s.config = "[KVTR Configuration]\r\nUseDirs=" + dirs + "\r\nOverWrite=" + (askFirst ? "0" : "1") +
             "\r\nAttributes=1\r\nFileDate=1\r\nExecutable=setup.exe\r\nParameters=/q\r\n";
  auto target = [&](const std::string& stored, const std::string& nested) {
    return std::string(kTarget) + (useDirs ? nested : stored.substr(stored.find_last_of('\\') + 1));
  };
  s.members = {
      {"setup.exe", target("setup.exe", "setup.exe"), Pattern(3000, 1)},
      {"docs\\readme.txt", target("docs\\readme.txt", "docs\\readme.txt"), Pattern(9000, 2)},
      {"\\data\\deep\\table.bin", target("\\data\\deep\\table.bin", "data\\deep\\table.bin"), Pattern(20000, 3)},
      {"empty.dat", target("empty.dat", "empty.dat"), {}},
      {"notes.txt", target("notes.txt", "notes.txt"), TextBytes("new notes\r\n")},
  };
  if (askFirst) s.keptFile = s.members.back().written;

  std::vector<TMemberEntry> entries;
  std::vector<ArchiveBytes> streams;
  std::vector<uint32_t> crcs;
  for (const Member& m : s.members) {
    crcs.push_back(Crc32(m.bytes.data(), m.bytes.size()));
    TMemberEntry e;
    e.name = m.name;
    e.unpackedSize = static_cast<int32_t>(m.bytes.size());
    e.attributes = m.name == "setup.exe" ? 0x21 : 0x20;
    e.dateTime = 45000.5;
    entries.push_back(e);
    streams.push_back(LzhEncode(m.bytes.data(), m.bytes.size()));
  }
  TMemberEntry config;
  config.name = kConfigMemberName;
  config.unpackedSize = static_cast<int32_t>(s.config.size());
  entries.push_back(config);
  streams.push_back(LzhEncode(reinterpret_cast<const uint8_t*>(s.config.data()), s.config.size()));
  crcs.push_back(Crc32(reinterpret_cast<const uint8_t*>(s.config.data()), s.config.size()));
  s.image.assign(kStubSize, 0xCC);
  ArchiveBytes archive = BuildCheckedArchiveImage(entries, streams, crcs);
  s.image.insert(s.image.end(), archive.begin(), archive.end());
  const size_t at = s.image.size() - ChecksumBlockSize(static_cast<uint32_t>(crcs.size()));
  const size_t memberCrc = at + kChecksumHeaderSize;
  switch (block) {
    case Block::Sound: break;
    case Block::Damaged: s.image[at + 12] ^= 0x01; break;  // the directory CRC
    case Block::WrongCount: s.image[at + 8] += 1; break;
    case Block::LastMemberMismatch: PutCrc(s.image, memberCrc + 4 * (crcs.size() - 2), crcs[0]); break;
    case Block::ConfigMismatch: PutCrc(s.image, memberCrc + 4 * (crcs.size() - 1), crcs[0]); break;
  }
  // The block's own CRC stays right, so that only the count or a member's CRC is wrong.
  if (block == Block::WrongCount || block == Block::LastMemberMismatch || block == Block::ConfigMismatch)
    PutCrc(s.image, s.image.size() - 4, Crc32(s.image.data() + at, s.image.size() - at - 4));
  s.damaged = block != Block::Sound;
  static const char* const kBlockNames[] = {"", " damaged block", " wrong count", " last member mismatch",
                                            " configuration mismatch"};
  s.label += kBlockNames[static_cast<int>(block)];
  return s;
}

struct FaultCode {
  FsCall kind;
  int code;
  bool persistent;
};

// The codes each call meets in the field: the disk fills up (Win32 and POSIX numbering, and a
// disk that stays full), a virus scanner or another program holds the file, a folder vanishes
// or its rights are taken away.
std::vector<FaultCode> CodesFor(FsCall kind) {
  switch (kind) {
    case FsCall::Create:
      return {{kind, kErrorAccessDenied, false}, {kind, kErrorSharingViolation, false},
              {kind, kErrorPathNotFound, false}, {kind, kErrorWindowsDiskFull, false}};
    case FsCall::Open:
      return {{kind, kErrorAccessDenied, false}, {kind, kErrorSharingViolation, false},
              {kind, kErrorFileNotFound, false}};
    case FsCall::Write:
      return {{kind, kErrorWindowsDiskFull, false}, {kind, kErrorDiskFull, false},
              {kind, kErrorWindowsDiskFull, true}, {kind, kErrorAccessDenied, false},
              {kind, kShortTransfer, false}};
    case FsCall::Read:
      return {{kind, kErrorAccessDenied, false}, {kind, kErrorLockViolation, false}, {kind, kShortTransfer, false}};
    case FsCall::MakeDirectory:
      return {{kind, kErrorAccessDenied, false}, {kind, kErrorPathNotFound, false},
              {kind, kErrorWindowsDiskFull, false}};
    case FsCall::Remove:
      return {{kind, kErrorAccessDenied, false}, {kind, kErrorSharingViolation, false}};
    case FsCall::Close:
      return {{kind, kErrorWindowsDiskFull, false}};
    default:
      return {{kind, kErrorAccessDenied, false}};
  }
}

enum class Outcome { Unaffected, StoppedWithMessage, ReportedAndRan, FatalReport, SilentDifference };
const char* OutcomeName(Outcome o) {
  static const char* const kNames[] = {"unaffected", "stopped with message", "reported, still ran",
                                       "top-level report", "silent difference"};
  return kNames[static_cast<int>(o)];
}

struct RunRecord {
  std::string command;
  bool fatal = false;
  std::string fatalClass;
  std::string deleteList;  // its content right after the extraction
  bool cleanupFatal = false;
};

class FaultWalk {
 public:
  explicit FaultWalk(const Scenario& s) : s_(s) {}

  // One run with the fault (or none: n = 0); every check that holds for any fault.
  void Run(const FaultCode& fault, int n) {
    MemoryFileSystem disk;
    disk.AddFile(kInstallerPath, s_.image);
    disk.AddDirectory(kTarget);
    disk.AddFile(kKeptElsewhere, "[keep]\r\n");
    if (!s_.keptFile.empty()) disk.AddFile(s_.keptFile, "old notes\r\n");
    FaultyFileSystem faulty(disk);
    faulty.FailAt(fault.kind, n, fault.code, fault.persistent);
    FakeUserInterface ui;
    if (!s_.keptFile.empty()) ui.answers = {OverwriteAnswer::No};

    RunRecord r;
    {
      ScopedFileSystem useFs(faulty);
      ScopedUserInterface useUi(ui);
      try {
        r.command = ExtractArchiveAt(kInstallerPath, kStubSize, kTarget);
      } catch (const Exception& failure) {
        r.fatal = true;
        r.fatalClass = failure.ClassName();
      }
      CancelRequested = false;
      r.deleteList = disk.FileText(std::string(kTarget) + kDeleteListName);
      // What the clean-up may touch: the files the list names.
      if (!r.fatal && !r.command.empty()) {
        CheckMembersExact(disk, fault, n);
        try {
          RemoveListedFiles(std::string(kTarget) + kDeleteListName);
        } catch (const Exception&) {
          r.cleanupFatal = true;
        }
      }
    }
    std::string where = Describe(fault, n, faulty);

    // Nothing outside the folder, nothing kept deleted or changed.
    EXPECT_EQ(disk.ChangesOutside(kTarget), std::vector<std::string>{}) << where;
    EXPECT_EQ(disk.FileText(kKeptElsewhere), "[keep]\r\n") << where;
    EXPECT_TRUE(disk.HasFile(kInstallerPath)) << where;
    if (!s_.keptFile.empty()) {
      EXPECT_EQ(disk.FileText(s_.keptFile), "old notes\r\n")
          << where << ": the file kept at the prompt was replaced or deleted";
    }
    // The list names only files that the run wrote, each as it was written.
    std::set<std::string> created;
    for (const FsEvent& event : disk.Events())
      if (event.change == FsChange::CreateFile) created.insert(event.path);
    // A line cut short (the disk filled up while it was written) ends the run with the
    // top-level report, so no clean-up ever reads it.
    std::istringstream lines(r.deleteList);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty() || line.back() != '\r' || lines.eof()) {
        EXPECT_TRUE(r.fatal) << where << ": unterminated list line " << line;
        continue;
      }
      line.pop_back();
      EXPECT_TRUE(created.count(line) && line != std::string(kTarget) + kDeleteListName)
          << where << ": listed " << line;
    }
    if (!r.fatal) {
      EXPECT_EQ(disk.OpenHandleCount(), 0) << where << ": handles left open";
    }

    Outcome outcome = Classify(r, ui, faulty);
    if (n == 0) {
      baseline_ = r;
      return;
    }
    ++walked_;
    ++counts_[outcome];
    ++byKind_[FsCallName(fault.kind)][outcome];
    // Whatever failed, a program that starts gets its whole command line: no parameter lost.
    if (!r.command.empty()) EXPECT_EQ(r.command, baseline_.command) << where;
    if (s_.damaged) EXPECT_TRUE(r.command.empty()) << where << ": started with a damaged member";
    // A failed target, a failed read of the archive and a configuration file that cannot be
    // opened or read back are told, naming the file; a read that merely falls short is
    // continued.
    const bool configRead = faulty.FaultPath() == std::string(kTarget) + kConfigMemberName &&
                            (fault.kind == FsCall::Open || fault.kind == FsCall::Read);
    bool dataFault = faulty.FaultsInjected() > 0 && !r.fatal &&
                     (fault.kind == FsCall::Create || fault.kind == FsCall::Write ||
                      fault.kind == FsCall::Read || fault.kind == FsCall::Seek || configRead) &&
                     faulty.FaultPath() != std::string(kTarget) + kDeleteListName &&
                     !(configRead && fault.code == kShortTransfer);
    if (dataFault) {
      EXPECT_TRUE(r.command.empty()) << where << ": a command after a failed member";
      ASSERT_FALSE(ui.messages.empty()) << where << ": failure not told";
      const std::string& text = ui.messages.front().text;
      bool namesFile = text.find(faulty.FaultPath()) != std::string::npos ||
                       text.find("This is not a valid archive") != std::string::npos;
      EXPECT_TRUE(namesFile) << where << ": message does not name the file: " << text;
    }
    if (outcome == Outcome::SilentDifference) silent_.push_back(where);
    EXPECT_NE(outcome, Outcome::SilentDifference) << where << ": the run differs and nobody was told";
  }

  // The run without faults; its command is the one every run that starts a program must give.
  std::string Baseline() {
    Run({FsCall::Create, 0, false}, 0);
    return baseline_.command;
  }

  void Walk() {
    for (int k = 0; k < kFsCallKinds; ++k) {
      auto kind = static_cast<FsCall>(k);
      for (int n = 1; n <= baselineCalls_[k]; ++n) {
        for (const FaultCode& code : CodesFor(kind)) Run(code, n);
      }
    }
  }

  void Report() const {
    std::printf("fault walk %s: %d runs over %d calls\n", s_.label.c_str(), walked_, callsCounted_);
    for (const auto& kind : byKind_) {
      std::printf("  %-15s", kind.first.c_str());
      for (const auto& o : kind.second) std::printf("  %s %d", OutcomeName(o.first), o.second);
      std::printf("\n");
    }
    for (const std::string& s : silent_) std::printf("  silent: %s\n", s.c_str());
  }

  int walked() const { return walked_; }
  int callsCounted() const { return callsCounted_; }
  const std::map<Outcome, int>& counts() const { return counts_; }

 private:
  void CheckMembersExact(const MemoryFileSystem& disk, const FaultCode& fault, int n) {
    for (const Member& m : s_.members) {
      if (m.written == s_.keptFile) continue;
      const MemoryFileSystem::File* file = disk.FindFile(m.written);
      ASSERT_NE(file, nullptr) << Describe(fault, n) << ": command returned, " << m.written << " missing";
      EXPECT_TRUE(file->bytes == m.bytes) << Describe(fault, n) << ": command returned, " << m.written
                                          << " differs";
    }
  }

  Outcome Classify(const RunRecord& r, const FakeUserInterface& ui, const FaultyFileSystem& faulty) {
    if (baselineCalls_.empty()) {
      for (int k = 0; k < kFsCallKinds; ++k) baselineCalls_.push_back(faulty.Calls(static_cast<FsCall>(k)));
      callsCounted_ = faulty.TotalCalls();
    }
    if (r.fatal || r.cleanupFatal) return Outcome::FatalReport;
    if (!ui.messages.empty()) return r.command.empty() ? Outcome::StoppedWithMessage : Outcome::ReportedAndRan;
    if (r.command == baseline_.command) return Outcome::Unaffected;
    return Outcome::SilentDifference;
  }

  std::string Describe(const FaultCode& fault, int n, const FaultyFileSystem* faulty = nullptr) const {
    std::string text = s_.label + ": " + FsCallName(fault.kind) + " #" + std::to_string(n) +
                       (fault.code == kShortTransfer ? std::string(" falls short")
                                                     : " fails with " + std::to_string(fault.code)) +
                       (fault.persistent ? " from then on" : "");
    if (faulty && !faulty->FaultPath().empty()) text += " (" + faulty->FaultPath() + ")";
    return text;
  }
  std::string Describe(const FaultCode& fault, int n, const FaultyFileSystem& faulty) const {
    return Describe(fault, n, &faulty);
  }

  const Scenario& s_;
  RunRecord baseline_;
  std::vector<int> baselineCalls_;
  int callsCounted_ = 0;
  int walked_ = 0;
  std::map<Outcome, int> counts_;
  std::map<std::string, std::map<Outcome, int>> byKind_;
  std::vector<std::string> silent_;
};

void WalkScenario(bool useDirs, bool askFirst, const char* property, Block block = Block::Sound) {
  Scenario s = MakeScenario(useDirs, askFirst, block);
  FaultWalk walk(s);
  ASSERT_EQ(walk.Baseline(), s.damaged ? std::string() : std::string(kTarget) + "setup.exe /q");
  walk.Walk();
  walk.Report();
  ::testing::Test::RecordProperty(std::string(property) + "_calls", walk.callsCounted());
  ::testing::Test::RecordProperty(std::string(property) + "_runs", walk.walked());
  for (const auto& o : walk.counts()) {
    std::string name = OutcomeName(o.first);
    std::replace(name.begin(), name.end(), ' ', '_');
    ::testing::Test::RecordProperty(std::string(property) + "_" + name, o.second);
  }
}

TEST(FaultWalk, EveryCallOfAnInstallerWithFoldersFails) { WalkScenario(true, false, "folders"); }

TEST(FaultWalk, EveryCallFailsWhileAKeptFileIsSkipped) { WalkScenario(false, true, "flat_kept"); }

TEST(FaultWalk, EveryCallFailsWithADamagedChecksumBlockOrMember) {
  const struct { Block block; const char* property; } rows[] = {
      {Block::Damaged, "damaged_block"}, {Block::WrongCount, "wrong_count"},
      {Block::LastMemberMismatch, "last_member_mismatch"}, {Block::ConfigMismatch, "config_mismatch"}};
  for (const auto& row : rows) WalkScenario(true, false, row.property, row.block);
}

}  // namespace
