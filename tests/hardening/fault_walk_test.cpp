// Fault injection through the host seam: a small installer is unpacked on the real disk (and,
// when a command comes back, cleaned up as the run sequence does) once without faults to count
// the calls, then once for every call of every kind failing with each of the Windows error
// codes such a call really meets. Every run must end in an outcome the user is told of, or in
// the unaffected one, leave the disk safe, and after its clean-up nothing of itself behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/run_folder.h"
#include "app/run_sequence.h"
#include "archive/crc32.h"
#include "archive/format.h"
#include "host/exceptions.h"
#include "host/platform.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"

namespace {

// The checksum block: sound; damaged or for another member count (the directory is refused);
// or with a CRC that the last member or the configuration member does not match. Only with a
// sound block may anything start, whatever fails besides.
enum class Block { Sound, Damaged, WrongCount, LastMemberMismatch, ConfigMismatch };

struct Scenario {
  std::string label;
  std::vector<TestMember> members;          // the configuration member last
  std::vector<std::string> written;         // where each member but the configuration lands
  bool askFirst;                            // OverWrite=0 and notes.txt exists; the prompt answers No
  ArchiveBytes image;
  bool damaged;
};

void PutCrc(ArchiveBytes& bytes, size_t at, uint32_t crc) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(crc >> (8 * i));
}

Scenario MakeScenario(bool useDirs, bool askFirst, Block block) {
  Scenario s{std::string(useDirs ? "UseDirs=1" : "UseDirs=0") + (askFirst ? " OverWrite=0" : "") + " block " +
                 std::to_string(static_cast<int>(block)), {}, {}, askFirst, {}, block != Block::Sound};
  s.members = {{"setup.exe", RandomBytes(3000, 1), 0x21}, {"docs\\readme.txt", RandomBytes(9000, 2)},
               {"\\data\\deep\\" + std::string(90, 't') + ".bin", RandomBytes(20000, 3)}, {"empty.dat", {}}, TextMember("notes.txt", "new\r\n")};
  for (const TestMember& m : s.members) {
    const std::string nested = m.name[0] == '\\' ? m.name.substr(1) : m.name;
    s.written.push_back(useDirs ? nested : nested.substr(nested.find_last_of('\\') + 1));
  }
  s.members.push_back(Config(std::string("UseDirs=") + (useDirs ? "1" : "0") + "\r\nOverWrite=" + (askFirst ? "0" : "1") +
                             "\r\nExecutable=setup.exe\r\nParameters=/q\r\n"));
  s.image = MakeInstaller(s.members, true);
  const size_t count = s.members.size(), at = s.image.size() - ChecksumBlockSize(static_cast<uint32_t>(count));
  const size_t memberCrc = at + kChecksumHeaderSize;
  const uint32_t firstCrc = Crc32(s.members[0].content.data(), s.members[0].content.size());
  if (block == Block::Damaged) s.image[at + 12] ^= 0x01;  // the directory CRC
  if (block == Block::WrongCount) s.image[at + 8] += 1;
  if (block == Block::LastMemberMismatch) PutCrc(s.image, memberCrc + 4 * (count - 2), firstCrc);
  if (block == Block::ConfigMismatch) PutCrc(s.image, memberCrc + 4 * (count - 1), firstCrc);
  // The block's own CRC stays right, so that only the count or a member's CRC is wrong.
  if (block != Block::Sound && block != Block::Damaged)
    PutCrc(s.image, s.image.size() - 4, Crc32(s.image.data() + at, s.image.size() - at - 4));
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
      return {{kind, kErrorSharingViolation, false}, {kind, kErrorPathNotFound, false}, {kind, kErrorWindowsDiskFull, false}};
    case FsCall::Open:
      return {{kind, kErrorSharingViolation, false}, {kind, kErrorFileNotFound, false}};
    case FsCall::Write:
      return {{kind, kErrorWindowsDiskFull, false}, {kind, kErrorDiskFull, false}, {kind, kErrorWindowsDiskFull, true},
              {kind, kShortTransfer, false}};
    case FsCall::Read:
      return {{kind, kErrorLockViolation, false}, {kind, kShortTransfer, false}};
    default:
      return {{kind, kErrorAccessDenied, false}};
  }
}

// What lay in the target folder before the run, and all that may be there after its clean-up.
const std::vector<std::string> kUntouched = {"other program", "other program/settings.ini"};
const std::vector<std::string> kUntouchedAndKept = {"notes.txt", "other program", "other program/settings.ini"};

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> found;
  const std::filesystem::path root = NativePath(folder);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    found.push_back(entry.path().lexically_relative(root).generic_string());
  std::sort(found.begin(), found.end());
  return found;
}

class FaultWalk {
 public:
  explicit FaultWalk(const Scenario& s) : s_(s) {}

  // One run with the fault (none: n = 0) in a folder of its own; every check that holds for any
  // fault. Returns the calls of each kind the run made.
  std::vector<int> Run(const FaultCode& fault, int n) {
    const ScratchFolder folder;  // removed with everything in it, read-only files too
    const std::string root = folder.Internal("");
    const std::string installer = root + "setup-installer.exe", target = root + "Temp\\";
    const std::string elsewhere = target + "other program\\settings.ini";
    WriteBytes(NativePath(installer), s_.image);
    WriteText(NativePath(elsewhere), "[keep]");
    if (s_.askFirst) WriteText(NativePath(target + "notes.txt"), "old");
    FaultyFileSystem disk;
    disk.ConfineTo(root);
    disk.FailAt(fault.kind, n, fault.code, fault.persistent);
    TestRun r;
    r.user.unscripted = OverwriteAnswer::No;
    std::string command, where = Describe(fault, n);
    bool fatal = false, cleanUpFailed = false;
    {
      ScopedFileSystem use(disk);
      fatal = ReachesTheTop([&] { command = r.Extract(installer, target); }, fault, where);
      where += disk.FaultPath().empty() ? "" : " (" + disk.FaultPath() + ")";
      if (command.compare(0, root.size(), root) == 0) command.erase(0, root.size());  // comparable between runs
      if (!fatal && !command.empty()) CheckMembersExact(target, where);
      CheckListNamesWrittenFiles(disk, target, fatal, where);
      // As the run sequence does: after the program, or at once after any other ending.
      const bool started = !fatal && !command.empty();
      cleanUpFailed = ReachesTheTop([&] { CleanUpRun(r.run, "", started); }, fault, where);
      fatal = fatal || (started && cleanUpFailed);
    }
    // What failed to go was skipped for a failed deletion, or stays behind the top-level report.
    const bool removalFault = fault.kind == FsCall::Remove || fault.kind == FsCall::RemoveFolder ||
                              fault.kind == FsCall::SetAttributes;
    if (!cleanUpFailed && !(removalFault && disk.FaultsInjected() > 0)) {
      EXPECT_EQ(FilesBelow(root + "Temp"), s_.askFirst ? kUntouchedAndKept : kUntouched) << where << ": left behind";
    }
    EXPECT_EQ(disk.ChangesOutside(target), std::vector<std::string>{}) << where;
    EXPECT_EQ(ReadText(NativePath(elsewhere)), "[keep]") << where;
    EXPECT_TRUE(Exists(NativePath(installer))) << where;
    EXPECT_TRUE(!s_.askFirst || ReadText(NativePath(target + "notes.txt")) == "old") << where << ": kept file changed";
    EXPECT_TRUE(fatal || disk.OpenHandleCount() == 0) << where << ": handles left open";

    if (n == 0) baseline_ = command;
    EXPECT_TRUE(n > 0 || r.run.failure.Happened() == s_.damaged) << "the run without faults";
    EXPECT_TRUE(command.empty() || command == baseline_) << where << ": a parameter lost";
    EXPECT_TRUE(!s_.damaged || command.empty()) << where << ": started with a damaged member";
    // A failed target, read of the archive or read-back of the configuration is told, naming
    // the file, and nothing starts; a read that merely falls short is continued.
    const bool configRead = disk.FaultPath() == target + kConfigMemberName;
    const bool dataFault = disk.FaultsInjected() > 0 && !fatal && disk.FaultPath() != target + kDeleteListName &&
                           (fault.kind == FsCall::Create || fault.kind == FsCall::Write ||
                            ((fault.kind == FsCall::Read || fault.kind == FsCall::Seek) && !configRead) ||
                            (configRead && (fault.kind == FsCall::Open || fault.kind == FsCall::Read) && fault.code != kShortTransfer));
    if (dataFault) {
      EXPECT_EQ(command, "") << where << ": a command after a failed member";
      const std::string& told = r.run.failure.text;
      EXPECT_TRUE(told.find(disk.FaultPath()) != std::string::npos || told.find(kInvalidArchiveText) == 0)
          << where << ": the failure does not name the file: " << told;
    }
    // Whatever differs from the run without faults, the user has been told.
    if (!fatal && !r.run.failure.Happened() && command != baseline_) ADD_FAILURE() << where << ": silent difference";
    std::vector<int> calls;
    for (int k = 0; k < kFsCallKinds; ++k) calls.push_back(disk.Calls(static_cast<FsCall>(k)));
    return calls;
  }

  void Walk() {
    SCOPED_TRACE(s_.label);
    const std::vector<int> calls = Run({FsCall::Create, 0, false}, 0);
    ASSERT_EQ(baseline_, s_.damaged ? "" : "Temp\\setup.exe /q")
        << "the run without faults";
    for (int k = 0; k < kFsCallKinds; ++k)
      for (int n = 1; n <= calls[k]; ++n)
        for (const FaultCode& code : CodesFor(static_cast<FsCall>(k))) Run(code, n);
  }

 private:
  static std::string Describe(const FaultCode& fault, int n) {
    return std::string(FsCallName(fault.kind)) + " #" + std::to_string(n) +
           (fault.code == kShortTransfer ? " falls short" : " fails with " + std::to_string(fault.code)) +
           (fault.persistent ? " from then on" : "");
  }

  // A failure the run does not tell itself goes to the top-level error report (exit code 1,
  // nothing started); a failed text-file call raises the code the call failed with.
  template <typename Step>
  static bool ReachesTheTop(Step step, const FaultCode& fault, const std::string& where) {
    try {
      step();
    } catch (const EInOutError& failure) {
      EXPECT_EQ(failure.Code(), fault.code == kShortTransfer ? kErrorDiskFull : fault.code) << where;
      return true;
    } catch (const Exception&) {
      return true;
    }
    return false;
  }

  void CheckMembersExact(const std::string& target, const std::string& where) const {
    for (size_t i = 0; i < s_.written.size(); ++i)
      EXPECT_TRUE((s_.askFirst && s_.written[i] == "notes.txt") ||
                  ReadBytes(NativePath(target + s_.written[i])) == s_.members[i].content)
            << where << ": command returned, " << s_.written[i] << " differs";
  }

  // The list names only files that the run created, each as it was created; a line cut short
  // (the disk filled up while it was written) ends the run with the top-level report.
  static void CheckListNamesWrittenFiles(const FaultyFileSystem& disk, const std::string& target, bool fatal,
                                         const std::string& where) {
    std::set<std::string> created;
    for (const FsChange& c : disk.Changes())
      if (c.call == FsCall::Create && c.path != target + kDeleteListName) created.insert(c.path);
    for (const std::string& line : ReadLines(NativePath(target + kDeleteListName)))
      EXPECT_TRUE(created.count(line) || (fatal && line.find(kNoLineEnd) != std::string::npos))
          << where << ": listed " << line;
  }

  const Scenario& s_;
  std::string baseline_;
};

// Folders kept, or all in one with a kept file; then each damage of the checksums.
TEST(FaultWalk, EveryCallOfEveryScenarioFails) {
  const struct { bool useDirs; Block block; } rows[] = {{true, Block::Sound}, {false, Block::Sound}, {true, Block::Damaged},
      {true, Block::WrongCount}, {true, Block::LastMemberMismatch}, {true, Block::ConfigMismatch}};
  for (const auto& row : rows) {
    const Scenario s = MakeScenario(row.useDirs, !row.useDirs, row.block);
    FaultWalk(s).Walk();
  }
}

}  // namespace
