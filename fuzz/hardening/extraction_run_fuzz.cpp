// A whole extraction run, followed by the clean-up when a command comes back, over either an
// arbitrary archive image or a damaged copy of a sound installer that carries checksums.
// Whatever the image holds: nothing is written outside the target folder, no handle is left
// open, no command comes back after a failure, every delete-list line names a file the run
// created, and a file kept at the prompt survives. A damaged installer that still starts its
// program (its checksums not cut away) has given it exactly the command and the files of the
// sound one.
//
// Byte 0 chooses the circumstances: bit 0 notes.txt already in the folder, bit 1 every prompt
// answers Cancel rather than No, bit 3 the rest are damages to the sound installer rather
// than an archive image (behind a stub of 8 bytes), bits 4-7 the progress report at which
// "Abbruch" is pressed (0: never). Byte 1, when not 0, makes one file call fail: kind
// (byte - 1) % 10, call number (byte - 1) / 10 + 1. Damages are records of three bytes: a
// position (16 bits, little-endian, modulo the installer's size) and a byte xor-ed into it;
// position 0xFFFF cuts the installer to byte/256 of its size.
#include <algorithm>
#include <cstdlib>

#include "app/run_sequence.h"
#include "archive/format.h"
#include "host/exceptions.h"
#include "host/platform.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_installer.h"

namespace {

constexpr int32_t kImageStubSize = 8;

void Check(bool condition) {
  if (!condition) std::abort();
}

const std::vector<TestMember>& SoundMembers() {
  static const std::vector<TestMember> members = {
      {"setup.exe", RandomBytes(3000, 1), 0x21}, {"docs\\readme.txt", RandomBytes(9000, 2)},
      {"\\data\\deep\\table.bin", RandomBytes(5000, 3)}, TextMember("notes.txt", "new"),
      Config("OverWrite=0\r\nExecutable=setup.exe\r\nParameters=/q\r\n")};
  return members;
}

ArchiveBytes Damaged(const uint8_t* data, size_t size) {
  static const ArchiveBytes sound = MakeInstaller(SoundMembers(), true);
  ArchiveBytes image = sound;
  for (size_t at = 0; at + 3 <= size && !image.empty(); at += 3) {
    const size_t position = data[at] | (data[at + 1] << 8);
    if (position == 0xFFFF)
      image.resize(image.size() * data[at + 2] / 256);
    else
      image[position % image.size()] ^= data[at + 2];
  }
  return image;
}

bool CarriesChecksums(const ArchiveBytes& image) {
  return std::search(image.begin(), image.end(), kChecksumMagic, kChecksumMagic + kChecksumMagicSize) != image.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1 << 16)) return 0;
  const uint8_t options = data[0], fault = data[1];
  const bool damage = (options & 8) != 0, kept = (options & 1) != 0;
  ArchiveBytes image(kImageStubSize, 'M');
  image.insert(image.end(), data + 2, data + size);
  if (damage) image = Damaged(data + 2, size - 2);

  ScratchFolder folder;
  const std::string installer = folder.Internal("installer.exe"), target = folder.Internal("Temp\\");
  WriteBytes(NativePath(installer), image);
  WriteText(folder.Path("keep.txt"), "[keep]");
  WriteText(folder.Path("Temp/x"), "");  // the folder exists, as the system's temporary folder does
  if (kept) WriteText(NativePath(target + "notes.txt"), "old");
  FaultyFileSystem disk;
  disk.ConfineTo(folder.Internal(""));
  if (fault != 0) disk.FailAt(static_cast<FsCall>((fault - 1) % kFsCallKinds), (fault - 1) / kFsCallKinds + 1, kErrorAccessDenied);
  TestRun r;
  r.user.unscripted = (options & 2) ? OverwriteAnswer::Cancel : OverwriteAnswer::No;
  r.user.cancelAtProgress = options >> 4;

  std::string command;
  bool fatal = false;
  {
    ScopedFileSystem use(disk);
    try {
      command = r.Extract(installer, target, damage ? kTestStubSize : kImageStubSize);
    } catch (const Exception&) {
      fatal = true;  // the top-level error report: exit code 1, nothing started
    }
  }
  Check(disk.ChangesOutside(target).empty() && (fatal || disk.OpenHandleCount() == 0));
  Check(ReadText(folder.Path("keep.txt")) == "[keep]" && Exists(NativePath(installer)));
  if (r.run.failure.Happened()) Check(command.empty());
  if (!command.empty()) Check(command.compare(0, target.size(), target) == 0);
  for (const std::string& line : ReadLines(NativePath(target + kDeleteListName))) {
    bool created = false;
    for (const FsChange& c : disk.Changes()) created = created || (c.call == FsCall::Create && c.path == line);
    Check(created || fatal);
  }
  if (kept && !r.user.asked.empty()) Check(ReadText(NativePath(target + "notes.txt")) == "old");
  if (damage && !command.empty() && CarriesChecksums(image)) {
    Check(command == target + "setup.exe /q");
    for (const TestMember& m : SoundMembers()) {
      const std::string name = m.name.substr(m.name[0] == '\\' ? 1 : 0);
      if (m.name != kConfigMemberName && !(kept && name == "notes.txt")) Check(ReadBytes(NativePath(target + name)) == m.content);
    }
  }
  if (!fatal && !command.empty()) {
    ScopedFileSystem use(disk);
    try {
      RemoveListedFiles(target + kDeleteListName);
    } catch (const Exception&) {
    }
    Check(disk.ChangesOutside(target).empty());
  }
  return 0;
}
