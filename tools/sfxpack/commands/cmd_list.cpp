// sfxpack list: one row per member and a total line.
#include <cinttypes>
#include <cstdio>

#include "archive/config.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/code_page.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/installer/listing.h"
#include "tools/sfxpack/platform/date_text.h"

namespace {

const char kListUsage[] =
    "Usage: sfxpack list FILE [--offset N] [--codepage N]\n"
    "\n"
    "Lists the members of the installer FILE: unpacked size, stored size, attributes,\n"
    "modification date (ISO 8601, local time), offset in the data area and name, then a\n"
    "total line, which says whether the installer checks its members (CRC-32). The last\n"
    "member is the installer's configuration.\n"
    "\n"
    "  --offset N   the archive starts at byte N (for a stub whose offset cannot be found)\n"
    "  --codepage N read the names in Windows code page N (default: the one the installer\n"
    "               records, 1252 if none)\n"
    "  --help       show this text\n";

constexpr char kRule[] = "------------ ------------ ----- ------------------- ---------- ----\n";

void PrintListing(const TInstaller& installer) {
  std::printf("        Size       Packed  Attr Date                    Offset Name\n%s", kRule);
  uint64_t unpacked = 0;
  uint64_t stored = 0;
  for (const TMember& member : installer.members) {
    std::printf("%12" PRId32 " %12" PRId32 " %5s %-19s %10" PRId32 " %s\n", member.unpackedSize,
                member.storedSize, AttributeText(member.attributes).c_str(),
                IsoDateTimeText(member.dateTime).c_str(), member.offset, member.name.c_str());
    unpacked += static_cast<uint32_t>(member.unpackedSize);
    stored += static_cast<uint32_t>(member.storedSize);
  }
  std::printf("%s%12" PRIu64 " %12" PRIu64 " %zu member%s, %s\n", kRule, unpacked, stored,
              installer.members.size(), installer.members.size() == 1 ? "" : "s",
              installer.hasChecksums ? "CRC-32 checked" : "no checksums");
}

// How the installer runs, as its configuration says (nothing when that member is damaged).
void PrintRunSettings(const TInstaller& installer) {
  const std::optional<TConfiguration> recorded = IntactConfiguration(installer);
  if (!recorded) return;
  const TConfiguration& config = *recorded;
  std::printf("Unpacks into: %s\n", config.runFolder ? "a new private folder in the temporary folder"
                                                       : "the temporary folder itself (--in-temp)");
  if (config.executable.empty()) return;
  std::printf("Starts: %s%s%s%s\n", config.executable.c_str(), config.parameters.empty() ? "" : " ",
              config.parameters.c_str(), config.passArguments ? " + the installer's own arguments (--pass-args)" : "");
  std::printf("Waits for: %s\n", config.waitAll ? "every process the program starts (--wait-all)" : "the program");
}

}  // namespace

int RunListCommand(const Arguments& args) {
  return RunCommand("list", kListUsage, args, {{"--offset", true}, {"--codepage", true}}, [](const ParsedOptions& options) {
    if (options.Operands().size() != 1) throw EUsageError("give exactly one FILE");
    const TInstaller installer = OpenInstaller(options.Operands()[0], OffsetOption(options), CodePageOption(options));
    PrintListing(installer);
    PrintRunSettings(installer);
    return kExitSuccess;
  });
}
