#include "tools/sfxpack/commands/create.h"

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
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/progress.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/code_page.h"
#include "tools/sfxpack/installer/installer.h"
#include "tools/sfxpack/packing/member_names.h"
#include "tools/sfxpack/packing/member_selection.h"
#include "tools/sfxpack/packing/output_file.h"
#include "tools/sfxpack/packing/source_tree.h"
#include "tools/sfxpack/pe/pe_image.h"
#include "tools/sfxpack/platform/tool_platform.h"
#include "tools/sfxpack/stub/stub_file.h"
#include "tools/sfxpack/stub/stub_image.h"

#ifndef SFXPACK_BUILD_STUB
#define SFXPACK_BUILD_STUB ""
#endif
#ifndef SFXPACK_BUILD_STUB64
#define SFXPACK_BUILD_STUB64 ""
#endif

namespace {

const char kCreateUsage[] =
    "Usage: sfxpack create -o OUT [options] PATH...\n"
    "       sfxpack create -o OUT [options] [-C DIR] --files-from LIST [PATH...]\n"
    "\n"
    "Packs files and whole folders (recursively, names relative to the folder given) into\n"
    "the self-extracting installer OUT. Each member keeps its modification time and its\n"
    "read-only flag. The configuration member comes last. The same files, dates and options\n"
    "give the same installer, byte for byte.\n"
    "\n"
    "  -o OUT             the installer to write (replaced only when complete)\n"
    "  --stub FILE        put the archive behind this stub\n"
    "  --x64              use the x64 stub sfxstub64.exe, for Windows without 32-bit support\n"
    "  --native           use the native (Linux) stub instead of the Win32 sfxstub.exe\n"
    "  --run EXE          program to start after unpacking, relative to the unpack folder\n"
    "  --params TEXT      its arguments\n"
    "  --no-dirs          unpack every member directly into the unpack folder\n"
    "  --in-temp          unpack straight into the temporary folder instead of a new private\n"
    "                     folder of the run's own (for a program that looks for its files\n"
    "                     in %TEMP%; runs at the same time may then meet each other's files)\n"
    "  --pass-args        append the installer's own command-line arguments to the program's\n"
    "                     (after --params), so that `MyApp-Setup.exe /S` installs silently\n"
    "  --wait-all         wait for every process the program starts, not only the program,\n"
    "                     before deleting the unpacked files (for a setup that hands over\n"
    "                     to another process and ends)\n"
    "  --ask-overwrite    ask before replacing an existing file\n"
    "  --no-attributes    do not give unpacked files their stored attributes\n"
    "  --no-date          do not give unpacked files their stored dates\n"
    "  --codepage N       write names, --run and --params in Windows code page N: 1252\n"
    "                     (the default for Windows stubs), 1250, 1251, 1253..1258, 874,\n"
    "                     932, 936, 949, 950, or 65001 (UTF-8, the native stub's)\n"
    "  -1 .. -9           compression level: -1 fastest, -9 smallest (default -6)\n"
    "  --icon FILE.ico    give the installer this icon (Windows stubs only)\n"
    "  --version-info KEY=VALUE\n"
    "                     a version string in the installer's properties: ProductName,\n"
    "                     FileDescription, FileVersion, ProductVersion, CompanyName,\n"
    "                     LegalCopyright, OriginalFilename, ...; repeatable\n"
    "  --exclude GLOB     leave out files and folders whose name, or any folder in it,\n"
    "                     matches GLOB (*, ?, [a-z]): --exclude '*.pdb' --exclude .git;\n"
    "                     repeatable\n"
    "  --files-from LIST  also pack the paths in LIST, one a line (\"-\": standard input);\n"
    "                     each names its member, a folder's files beneath it\n"
    "  -C DIR             read relative PATHs and listed paths from DIR\n"
    "  --date YYYY-MM-DDThh:mm:ss\n"
    "                     give every member this date instead of its file's\n"
    "  --help             show this text\n"
    "\n"
    "The Win32 stub is looked for in --stub, $SFXPACK_STUB, sfxstub.exe beside sfxpack,\n"
    "then the build tree; with --x64 in $SFXPACK_STUB64, sfxstub64.exe beside sfxpack, then\n"
    "the build tree; both also in ../share/sfxpack/ beside it (an installed sfxpack).\n"
    "\n"
    "A Windows installer creates its files with the system's code page: names written in\n"
    "code page 1252 appear right on Western European Windows, and names that code page\n"
    "cannot hold are refused. The code page is recorded in the installer.\n"
    "\n"
    "With SOURCE_DATE_EPOCH set (seconds since 1970), a file modified after that time is\n"
    "stored with that time (UTC). Empty folders are not packed; create names them.\n";

const std::vector<std::string> kLevelFlags = {"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"};

constexpr uint64_t kLargestMember = std::numeric_limits<int32_t>::max();

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

void CheckConfigValue(const char* option, const std::string& value) {
  const std::string problem = ConfigValueProblem(value);
  if (!problem.empty()) throw EUsageError(std::string("the value of ") + option + " " + problem);
}

// Where an installed sfxpack finds its stubs: share/sfxpack beside its bin folder (on Windows
// the stubs are installed beside the tool itself).
constexpr char kInstalledStubFolder[] = "../share/sfxpack/";

std::string BesideTool(const std::string& name) {
  const std::string folder = ExecutableDirectory();
  return folder.empty() ? std::string() : folder + "/" + name;
}

// Gives every file its name in the code page, refusing the whole run, before anything is
// written, when any name cannot be written there.
void EncodeMemberNames(std::vector<TSourceFile>& files, int codePage, const std::string& output) {
  ProblemList problems;
  for (TSourceFile& file : files) {
    if (!EncodeText(file.storedName, codePage, file.archiveName)) {
      problems.Add(file.path + ": the name \"" + file.storedName + "\" cannot be written in code page " +
                   std::to_string(codePage) + "; choose one that holds it with --codepage");
    }
  }
  problems.FailIfAny(output, "name problem");
}

// Refuses the whole run for any name the stub would refuse or Windows would not create as
// asked, naming every one, before anything is written. The stub sees the names' bytes in the
// code page; the clashes are those of the characters.
void CheckMemberNames(const std::vector<TSourceFile>& files, bool useDirs, int codePage,
                      const std::string& output) {
  std::vector<std::string> names;
  ProblemList problems;
  for (const TSourceFile& file : files) {
    std::string problem = EncodedNameProblem(file.storedName, file.archiveName, codePage);
    if (problem.empty()) problem = MemberNameProblem(file.archiveName);
    if (problem.empty() && !IsSafeMemberName(file.archiveName)) problem = "would be refused by the installer";
    if (!problem.empty()) problems.Add(file.path + ": the stored name \"" + file.storedName + "\" " + problem);
    names.push_back(file.storedName);
  }
  for (const TNameClash& clash : FindNameClashes(names, useDirs)) {
    problems.Add("\"" + clash.first + "\" and \"" + clash.second + "\" " + clash.reason);
  }
  problems.FailIfAny(output, "name problem");
}

// The Windows stubs hand names to the ANSI file functions, which read them in the system's
// code page: on a system with another one the same bytes spell other characters.
void WarnAboutNonAsciiNames(const std::vector<TSourceFile>& files, int codePage) {
  for (const TSourceFile& file : files) {
    for (char c : file.storedName) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        ReportError("warning: names such as \"" + file.storedName + "\" are not plain ASCII; they "
                    "appear right only on Windows systems whose code page is " + std::to_string(codePage));
        return;
      }
    }
  }
}

std::string EncodedConfigValue(const char* option, const std::string& value, int codePage) {
  std::string encoded;
  if (!EncodeText(value, codePage, encoded)) {
    throw EUsageError(std::string("the value of ") + option + " cannot be written in code page " +
                      std::to_string(codePage) + "; choose one that holds it with --codepage");
  }
  return encoded;
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

TPackedMembers PackFiles(const std::vector<TSourceFile>& files, const TDatePolicy& dates, int level) {
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
    entry.name = files[i].archiveName;
    entry.attributes = 32 | (infos[i].readOnly ? 1 : 0);  // archive, read-only
    entry.dateTime = dates.MemberDate(infos[i]);
    AddMember(packed, entry, data, level);
    progress.Advance(infos[i].size, files[i].storedName);
  }
  return packed;
}

// The configuration carries the newest member's date rather than the time of the run, so that
// packing the same tree twice gives the same bytes.
long double ConfigurationDate(const TPackedMembers& packed, const TDatePolicy& dates) {
  if (packed.entries.empty()) return dates.EmptyInstallerDate();
  long double newest = packed.entries.front().dateTime;
  for (const TMemberEntry& entry : packed.entries) newest = std::max(newest, entry.dateTime);
  return newest;
}

// The files to pack, with a warning for each one left out.
TSourceScan ScanSources(const TCreateRequest& request) {
  TSourceSelection selection{request.paths, {}, request.filesFrom == "-" ? "stdin" : request.filesFrom,
                             request.baseFolder, request.excludes, request.output};
  if (!request.filesFrom.empty()) selection.listed = ReadFileList(request.filesFrom);
  TSourceScan scan = CollectSourceFiles(selection);
  for (const std::string& warning : scan.warnings) ReportError("warning: " + warning);
  return scan;
}

// Reads the finished file back the way the stub will, before it gets its name.
void VerifyWritten(const std::string& temporaryPath, const std::string& output, uint32_t offset) {
  TArchiveDirectory directory;
  try {
    LoadArchiveDirectory(InternalPath(temporaryPath), static_cast<int32_t>(offset), directory);
  } catch (const EArchiveFormat& failure) {
    FailOnFile(output, "the written installer does not read back: " + failure.Detail());
  }
  if (!directory.checksumsPresent) FailOnFile(output, "the written installer does not read back: its checksums are not found");
}

}  // namespace

const std::vector<TOptionDef>& CreateOptionList() {
  static const std::vector<TOptionDef> kOptions = [] {
    std::vector<TOptionDef> known = {{"-o", true},         {"--stub", true},
                                      {"--native", false},  {"--x64", false},
                                      {"--run", true},
                                      {"--params", true},   {"--no-dirs", false},
                                      {"--ask-overwrite", false}, {"--no-attributes", false},
                                      {"--no-date", false}, {"--in-temp", false},
                                      {"--pass-args", false}, {"--wait-all", false}};
    for (const std::string& level : kLevelFlags) known.push_back({level, false});
    known.push_back({"--icon", true});
    known.push_back({"--version-info", true});
    known.push_back({"--codepage", true});
    for (const char* name : {"--exclude", "--files-from", "-C", "--date"}) known.push_back({name, true});
    return known;
  }();
  return kOptions;
}

TCreateRequest CreateRequestOf(const ParsedOptions& options) {
  TCreateRequest request;
  request.output = options.Value("-o");
  if (request.output.empty()) throw EUsageError("give the installer to write with -o OUT");
  request.paths = options.Operands();
  request.filesFrom = options.Value("--files-from");
  if (request.paths.empty() && request.filesFrom.empty()) {
    throw EUsageError("give at least one file or folder to pack, or a list with --files-from");
  }
  request.excludes = options.All("--exclude");
  request.baseFolder = options.Value("-C");
  request.dates = DatePolicyOf(options.Value("--date"), EnvironmentValue("SOURCE_DATE_EPOCH"));
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
  config.runFolder = !options.Has("--in-temp");
  config.passArguments = options.Has("--pass-args");
  config.waitAll = options.Has("--wait-all");
  const std::string level = options.LastOf(kLevelFlags);
  request.level = level.empty() ? kLzhDefaultLevel : level[1] - '0';
  request.branding = BrandingOf(options);
  request.codePage = CodePageOption(options);
  if (request.stubKind == StubKind::kNative && request.codePage.value_or(kUtf8CodePage) != kUtf8CodePage) {
    throw EUsageError("the native stub takes names in UTF-8 (--codepage 65001), not in code page " +
                      std::to_string(*request.codePage));
  }
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
    candidates.push_back(BesideTool(std::string(kInstalledStubFolder) + "sfxstub"));
    candidates.push_back(BesideTool("../../app/sfxstub"));
  } else {
    const bool x64 = request.stubKind == StubKind::kX64;
    const std::string fromEnvironment = EnvironmentValue(x64 ? "SFXPACK_STUB64" : "SFXPACK_STUB");
    if (!fromEnvironment.empty()) return fromEnvironment;
    const char* name = x64 ? "sfxstub64.exe" : "sfxstub.exe";
    candidates.push_back(BesideTool(name));
    candidates.push_back(BesideTool(std::string(kInstalledStubFolder) + name));
    const std::string inBuildTree = x64 ? SFXPACK_BUILD_STUB64 : SFXPACK_BUILD_STUB;
    if (!inBuildTree.empty()) candidates.push_back(BesideTool(inBuildTree));
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

  const bool windowsStub = IsPeImage(stub.data(), stub.size());
  TConfiguration config = request.config;
  config.codePage = request.codePage.value_or(windowsStub ? kDefaultCodePage : kUtf8CodePage);
  config.executable = EncodedConfigValue("--run", config.executable, config.codePage);
  config.parameters = EncodedConfigValue("--params", config.parameters, config.codePage);

  TSourceScan scan = ScanSources(request);
  EncodeMemberNames(scan.files, config.codePage, request.output);
  CheckMemberNames(scan.files, config.useDirs, config.codePage, request.output);
  WarnAboutExecutable(request, scan.files);
  if (windowsStub) WarnAboutNonAsciiNames(scan.files, config.codePage);

  TPackedMembers packed = PackFiles(scan.files, request.dates, request.level);
  TMemberEntry configEntry;
  configEntry.name = kConfigMemberName;
  configEntry.dateTime = ConfigurationDate(packed, request.dates);
  const std::string configText = ConfigurationText(config);
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
