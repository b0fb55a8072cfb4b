// sfxpack test: decodes every member in memory and reports each; exit 1 on any damage.
#include <cstdio>

#include "archive/format.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/progress.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/code_page.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/installer/member_check.h"
#include "tools/sfxpack/packing/config_member.h"

namespace {

const char kTestUsage[] =
    "Usage: sfxpack test FILE [--offset N] [--codepage N]\n"
    "\n"
    "Checks the installer FILE without writing anything: the directory as the installer\n"
    "reads it (names, data ranges, checksum), then every member decoded in memory against\n"
    "its recorded size and checksum. Prints one line per member; exits with 1 if any member\n"
    "is damaged. Says so when FILE carries no checksums.\n"
    "\n"
    "  --offset N   the archive starts at byte N\n"
    "  --codepage N read the names in Windows code page N (default: the one the installer\n"
    "               records, 1252 if none)\n"
    "  --help       show this text\n";

// The configuration text says what the installer will do; a last member without the
// section starts nothing, which is worth a word but is not damage.
void NoteConfiguration(const TInstaller& installer, const std::vector<uint8_t>& text) {
  if (!ParseConfiguration(std::string(text.begin(), text.end())).sectionFound) {
    ReportError(installer.path + ": the last member holds no [" + kConfigSection +
                "] section; the installer will start nothing");
  }
}

int TestInstaller(const TInstaller& installer) {
  if (installer.members.empty()) {
    ReportError(installer.path + ": the archive has no members, not even its configuration");
    return kExitFailure;
  }
  uint64_t total = 0;
  for (const TMember& member : installer.members) total += static_cast<uint32_t>(member.storedSize);
  ProgressBar progress("Testing", total);
  size_t damaged = 0;
  for (size_t i = 0; i < installer.members.size(); ++i) {
    const TMember& member = installer.members[i];
    progress.Show(member.name);
    const TMemberCheck check = DecodeMember(installer, member);
    progress.Clear();
    if (check.intact) {
      std::printf("OK      %s\n", member.name.c_str());
      if (i + 1 == installer.members.size()) NoteConfiguration(installer, check.data);
    } else {
      ++damaged;
      std::printf("DAMAGED %s: %s\n", member.name.c_str(), check.problem.c_str());
    }
    std::fflush(stdout);
    progress.Advance(static_cast<uint32_t>(member.storedSize), member.name);
  }
  progress.Finish();
  if (!installer.hasChecksums) {
    ReportError(installer.path + ": no checksums (an older or hand-made installer); members checked by their length only");
  }
  if (damaged == 0) return kExitSuccess;
  ReportError(installer.path + ": " + std::to_string(damaged) + " of " +
              std::to_string(installer.members.size()) + " members damaged");
  return kExitFailure;
}

}  // namespace

int RunTestCommand(const Arguments& args) {
  return RunCommand("test", kTestUsage, args, {{"--offset", true}, {"--codepage", true}}, [](const ParsedOptions& options) {
    if (options.Operands().size() != 1) throw EUsageError("give exactly one FILE");
    return TestInstaller(OpenInstaller(options.Operands()[0], OffsetOption(options), CodePageOption(options)));
  });
}
