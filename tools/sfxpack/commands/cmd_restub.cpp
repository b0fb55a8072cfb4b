// sfxpack restub: the archive of an existing installer, made by any builder, behind another
// stub. Only the archive's own bytes move over, its checksum block included: a signature's
// certificate table or padding behind them stays behind with the old stub.
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "host/platform.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/packing/output_file.h"
#include "tools/sfxpack/stub/stub_branding.h"
#include "tools/sfxpack/stub/stub_file.h"

namespace {

const char kRestubUsage[] =
    "Usage: sfxpack restub FILE --stub NEW -o OUT [--offset N]\n"
    "\n"
    "Writes OUT: the stub NEW followed by the archive of the installer FILE, unchanged,\n"
    "with its checksums. NEW's offset digits are set to its size. Anything behind FILE's\n"
    "last member and checksums (such as a signature) is not copied; sign OUT again if needed.\n"
    "\n"
    "  --stub NEW   the stub to put in front\n"
    "  -o OUT       the installer to write (replaced only when complete)\n"
    "  --offset N   FILE's archive starts at byte N\n"
    "  --help       show this text\n";

void Restub(const TInstaller& installer, const std::string& stubPath, const std::string& output) {
  bool hasDigits = false;
  std::vector<uint8_t> stub = LoadStubForInstaller(stubPath, false, hasDigits);
  if (!hasDigits) {
    ReportError("warning: " + stubPath + " carries no offset digits; the archive starts at byte " +
                std::to_string(stub.size()) + " of " + output);
  }
  const uint64_t end = installer.ArchiveBytesEnd();
  if (stub.size() + (end - installer.archiveOffset) > 0x7FFFFFFF) {
    FailOnFile(output, "would pass 2 GiB, beyond what the stub can read");
  }
  const std::vector<uint8_t> archive(installer.bytes.begin() + installer.archiveOffset,
                                     installer.bytes.begin() + static_cast<ptrdiff_t>(end));
  StampInstallerChecksum(stub, archive);
  AtomicOutputFile file(output);
  file.Write(stub.data(), stub.size());
  file.Write(archive.data(), archive.size());
  file.Flush();
  // The copy must read back exactly as the original did.
  TInstaller copy;
  try {
    copy = OpenInstaller(file.TemporaryPath(), static_cast<uint32_t>(stub.size()));
  } catch (const EPackError& failure) {
    FailOnFile(output, "the written installer does not read back: " + failure.Message());
  }
  if (copy.members.size() != installer.members.size() ||
      copy.hasChecksums != installer.hasChecksums) {
    FailOnFile(output, "the written installer does not read back whole");
  }
  file.Commit();
}

}  // namespace

int RunRestubCommand(const Arguments& args) {
  const std::vector<TOptionDef> known = {{"--stub", true}, {"-o", true}, {"--offset", true}};
  return RunCommand("restub", kRestubUsage, args, known, [](const ParsedOptions& options) {
    if (options.Operands().size() != 1) throw EUsageError("give exactly one installer FILE");
    if (options.Value("--stub").empty()) throw EUsageError("give the new stub with --stub NEW");
    if (options.Value("-o").empty()) throw EUsageError("give the installer to write with -o OUT");
    const TInstaller installer = OpenInstaller(options.Operands()[0], OffsetOption(options));
    Restub(installer, options.Value("--stub"), options.Value("-o"));
    return kExitSuccess;
  });
}
