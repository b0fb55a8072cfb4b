#include "tools/sfxpack/create.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "archive/archive_writer.h"
#include "archive/crc32.h"
#include "archive/directory.h"
#include "archive/entry_list.h"
#include "host/convert.h"
#include "host/platform.h"
#include "lzh/lzh.h"
#include "tools/sfxpack/command_support.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer.h"
#include "tools/sfxpack/member_names.h"
#include "tools/sfxpack/output_file.h"
#include "tools/sfxpack/progress.h"
#include "tools/sfxpack/source_tree.h"
#include "tools/sfxpack/stub_file.h"
#include "tools/sfxpack/tool_platform.h"

#ifndef SFXPACK_BUILD_STUB
#define SFXPACK_BUILD_STUB ""
#endif
#ifndef SFXPACK_BUILD_STUB64
#define SFXPACK_BUILD_STUB64 ""
#endif

namespace {

const char kCreateUsage[] =
    "Usage: sfxpack create -o OUT [options] PATH...\n"
    "\n"
    "Packs files and whole folders (recursively, names relative to the folder given) into\n"
    "the self-extracting installer OUT. Each member keeps its modification time and its\n"
    "read-only flag. The configuration member comes last.\n"
    "\n"
    "  -o OUT             the installer to write (replaced only when complete)\n"
    "  --stub FILE        put the archive behind this stub\n"
    "  --x64              use the x64 stub sfxstub64.exe, for Windows without 32-bit support\n"
    "  --native           use the native (Linux) stub instead of the Win32 sfxstub.exe\n"
    "  --run EXE          program to start after unpacking, relative to the unpack folder\n"
    "  --params TEXT      its arguments\n"
    "  --no-dirs          unpack every member directly into the unpack folder\n"
    "  --ask-overwrite    ask before replacing an existing file\n"
    "  --no-attributes    do not give unpacked files their stored attributes\n"
    "  --no-date          do not give unpacked files their stored dates\n"
    "  -1 .. -9           compression level: -1 fastest, -9 smallest (default -6)\n"
    "  --icon FILE.ico    give the installer this icon (Windows stubs only)\n"
    "  --version-info KEY=VALUE\n"
    "                     a version string in the installer's properties: ProductName,\n"
    "                     FileDescription, FileVersion, ProductVersion, CompanyName,\n"
    "                     LegalCopyright, OriginalFilename, ...; repeatable\n"
    "  --help             show this text\n"
    "\n"
    "The Win32 stub is looked for in --stub, $SFXPACK_STUB, sfxstub.exe beside sfxpack,\n"
    "then the build tree; with --x64 in $SFXPACK_STUB64, sfxstub64.exe beside sfxpack, then\n"
    "the build tree.\n";

const std::vector<std::string> kLevelFlags = {"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"};

constexpr uint64_t kLargestMember = std::numeric_limits<int32_t>::max();

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

void CheckConfigValue(const char* option, const std::string& value) {
  const std::string problem = ConfigValueProblem(value);
  if (!problem.empty()) throw EUsageError(std::string("the value of ") + option + " " + problem);
}

std::string BesideTool(const std::string& name) {
  const std::string folder = ExecutableDirectory();
  return folder.empty() ? std::string() : folder + "/" + name;
}

// Refuses the whole run for any name the stub would refuse or Windows would not create as
// asked, naming every one, before anything is written.
void CheckMemberNames(const std::vector<TSourceFile>& files, bool useDirs, const std::string& output) {
  std::vector<std::string> names;
  ProblemList problems;
  for (const TSourceFile& file : files) {
    std::string problem = MemberNameProblem(file.storedName);
    if (problem.empty() && !IsSafeMemberName(file.storedName)) problem = "would be refused by the installer";
    if (!problem.empty()) problems.Add(file.path + ": the stored name \"" + file.storedName + "\" " + problem);
    names.push_back(file.storedName);
  }
  for (const TNameClash& clash : FindNameClashes(names, useDirs)) {
    problems.Add("\"" + clash.first + "\" and \"" + clash.second + "\" " + clash.reason);
  }
  problems.FailIfAny(output, "name problem");
}

// The Win32 stub hands names to the ANSI file functions, which read them in the system code
// page; UTF-8 names from this system come out garbled there.
void WarnAboutNonAsciiNames(const std::vector<TSourceFile>& files) {
  for (const TSourceFile& file : files) {
    for (char c : file.storedName) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        ReportError("warning: \"" + file.storedName + "\" and maybe other names are not plain ASCII; "
                    "the Windows installer writes them in the system code page");
        return;
      }
    }
  }
}

void WarnAboutExecutable(const TCreateRequest& request, const std::vector<TSourceFile>& files) {
  const std::string& run = request.config.executable;
  if (run.empty() || run.find('<') != std::string::npos) return;  // placeholders: anything goes
  const std::string wanted = UpperAscii(TargetNameOf(run, true));
  for (const TSourceFile& file : files) {
    if (UpperAscii(TargetNameOf(file.storedName, request.config.useDirs)) == wanted) return;
  }
  ReportError("warning: --run " + run + " names no member of the installer");
}

struct TPackedMembers {
  std::vector<TMemberEntry> entries;
  std::vector<ArchiveBytes> streams;
  std::vector<uint32_t> checksums;
  uint64_t storedTotal = 0;
};

void AddMember(TPackedMembers& packed, TMemberEntry entry, const std::vector<uint8_t>& data,
               int level) {
  ArchiveBytes stream = LzhEncode(data.data(), data.size(), level);
  packed.storedTotal += stream.size();
  if (packed.storedTotal > kLargestMember) {
    throw EPackError("the compressed members pass 2 GiB, beyond what the archive format can address");
  }
  entry.unpackedSize = static_cast<int32_t>(data.size());
  packed.entries.push_back(std::move(entry));
  packed.streams.push_back(std::move(stream));
  packed.checksums.push_back(Crc32(data.data(), data.size()));
}

TPackedMembers PackFiles(const std::vector<TSourceFile>& files, int level) {
  TPackedMembers packed;
  uint64_t total = 0;
  std::vector<TSourceFileInfo> infos(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    if (!ReadSourceFileInfo(files[i].path, infos[i])) FailOnFile(files[i].path, LastSystemErrorText());
    if (infos[i].size > kLargestMember) FailOnFile(files[i].path, "larger than 2 GiB, too large to pack");
    total += infos[i].size;
  }
  ProgressBar progress("Packing", total);
  for (size_t i = 0; i < files.size(); ++i) {
    progress.Show(files[i].storedName);
    const std::vector<uint8_t> data = ReadWholeFile(files[i].path);
    if (data.size() > kLargestMember) FailOnFile(files[i].path, "larger than 2 GiB, too large to pack");
    TMemberEntry entry;
    entry.name = files[i].storedName;
    entry.attributes = 32 | (infos[i].readOnly ? 1 : 0);  // archive, read-only
    entry.dateTime = infos[i].dateTime;
    AddMember(packed, entry, data, level);
    progress.Advance(infos[i].size, files[i].storedName);
  }
  return packed;
}

// The configuration carries the newest member's date rather than the time of the run, so that
// packing the same tree twice gives the same bytes.
long double ConfigurationDate(const TPackedMembers& packed) {
  if (packed.entries.empty()) return CurrentDateTime();
  long double newest = packed.entries.front().dateTime;
  for (const TMemberEntry& entry : packed.entries) newest = std::max(newest, entry.dateTime);
  return newest;
}

// Reads the finished file back the way the stub will, before it gets its name.
void VerifyWritten(const std::string& temporaryPath, const std::string& output, uint32_t offset) {
  ResetEntries();
  try {
    LoadArchiveDirectory(InternalPath(temporaryPath), static_cast<int32_t>(offset));
  } catch (const EArchiveFormat& failure) {
    ClearEntries();
    FailOnFile(output, "the written installer does not read back: " + failure.Detail());
  }
  ClearEntries();
  if (!ChecksumsPresent) FailOnFile(output, "the written installer does not read back: its checksums are not found");
}

}  // namespace

const std::vector<TOptionDef>& CreateOptionList() {
  static const std::vector<TOptionDef> kOptions = [] {
    std::vector<TOptionDef> known = {{"-o", true},         {"--stub", true},
                                      {"--native", false},  {"--x64", false},
                                      {"--run", true},
                                      {"--params", true},   {"--no-dirs", false},
                                      {"--ask-overwrite", false}, {"--no-attributes", false},
                                      {"--no-date", false}};
    for (const std::string& level : kLevelFlags) known.push_back({level, false});
    known.push_back({"--icon", true});
    known.push_back({"--version-info", true});
    return known;
  }();
  return kOptions;
}

TCreateRequest CreateRequestOf(const ParsedOptions& options) {
  TCreateRequest request;
  request.output = options.Value("-o");
  if (request.output.empty()) throw EUsageError("give the installer to write with -o OUT");
  request.paths = options.Operands();
  if (request.paths.empty()) throw EUsageError("give at least one file or folder to pack");
  request.stub = options.Value("--stub");
  using StubKind = TCreateRequest::StubKind;
  if (options.Has("--stub") + options.Has("--native") + options.Has("--x64") > 1)
    throw EUsageError("give only one of --stub, --native and --x64");
  if (options.Has("--native")) request.stubKind = StubKind::kNative;
  if (options.Has("--x64")) request.stubKind = StubKind::kX64;
  if (options.Has("--stub") && request.stub.empty()) throw EUsageError("--stub needs a file");
  TConfiguration& config = request.config;
  config.executable = options.Value("--run");
  config.parameters = options.Value("--params");
  if (options.Has("--run") && config.executable.empty()) throw EUsageError("--run needs a program");
  if (!config.parameters.empty() && config.executable.empty()) {
    throw EUsageError("--params needs --run: without a program the installer ignores them");
  }
  CheckConfigValue("--run", config.executable);
  CheckConfigValue("--params", config.parameters);
  config.useDirs = !options.Has("--no-dirs");
  config.overwrite = !options.Has("--ask-overwrite");
  config.attributes = !options.Has("--no-attributes");
  config.fileDate = !options.Has("--no-date");
  const std::string level = options.LastOf(kLevelFlags);
  request.level = level.empty() ? kLzhDefaultLevel : level[1] - '0';
  request.branding = BrandingOf(options);
  if (request.stubKind == StubKind::kNative && !request.branding.Empty()) {
    throw EUsageError("--icon and --version-info need a Windows stub, not --native");
  }
  return request;
}

std::string FindStub(const TCreateRequest& request, std::vector<std::string>& tried) {
  if (!request.stub.empty()) return request.stub;
  std::vector<std::string> candidates;
  using StubKind = TCreateRequest::StubKind;
  if (request.stubKind == StubKind::kNative) {
    candidates.push_back(BesideTool("sfxstub"));
    candidates.push_back(BesideTool("../../app/sfxstub"));
  } else {
    const bool x64 = request.stubKind == StubKind::kX64;
    const char* fromEnvironment = std::getenv(x64 ? "SFXPACK_STUB64" : "SFXPACK_STUB");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    candidates.push_back(BesideTool(x64 ? "sfxstub64.exe" : "sfxstub.exe"));
    candidates.push_back(x64 ? SFXPACK_BUILD_STUB64 : SFXPACK_BUILD_STUB);
  }
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    if (IsFile(candidate)) return candidate;
    tried.push_back(candidate);
  }
  return std::string();
}

void CreateInstaller(const TCreateRequest& request) {
  std::vector<std::string> tried;
  const std::string stubPath = FindStub(request, tried);
  if (stubPath.empty()) {
    std::string places;
    for (const std::string& place : tried) places += (places.empty() ? "" : ", ") + place;
    static const char* const kKindNames[] = {"Win32", "x64", "native"};
    throw EPackError(std::string("no ") + kKindNames[static_cast<int>(request.stubKind)] +
                     " stub found (looked at " + places + "); give one with --stub FILE");
  }
  bool hasDigits = false;
  std::vector<uint8_t> stub = LoadStubForInstaller(stubPath, true, hasDigits);
  if (!request.branding.Empty()) stub = BrandStub(stub, stubPath, request.branding, request.output);

  const TSourceScan scan = CollectSourceFiles(request.paths, request.output);
  for (const std::string& warning : scan.warnings) ReportError("warning: " + warning);
  CheckMemberNames(scan.files, request.config.useDirs, request.output);
  WarnAboutExecutable(request, scan.files);
  if (request.stubKind != TCreateRequest::StubKind::kNative) WarnAboutNonAsciiNames(scan.files);

  TPackedMembers packed = PackFiles(scan.files, request.level);
  TMemberEntry configEntry;
  configEntry.name = kConfigMemberName;
  configEntry.dateTime = ConfigurationDate(packed);
  const std::string configText = ConfigurationText(request.config);
  AddMember(packed, configEntry, std::vector<uint8_t>(configText.begin(), configText.end()),
            request.level);

  const ArchiveBytes archive = BuildCheckedArchiveImage(packed.entries, packed.streams, packed.checksums);
  if (stub.size() + archive.size() > kLargestMember) {
    throw EPackError(request.output + ": the installer would pass 2 GiB, beyond what the stub can read");
  }
  StampInstallerChecksum(stub, archive);
  AtomicOutputFile output(request.output);
  output.Write(stub.data(), stub.size());
  output.Write(archive.data(), archive.size());
  output.Flush();
  VerifyWritten(output.TemporaryPath(), request.output, static_cast<uint32_t>(stub.size()));
  output.Commit();
}

int RunCreateCommand(const Arguments& args) {
  return RunCommand("create", kCreateUsage, args, CreateOptionList(), [](const ParsedOptions& options) {
    CreateInstaller(CreateRequestOf(options));
    return kExitSuccess;
  });
}
