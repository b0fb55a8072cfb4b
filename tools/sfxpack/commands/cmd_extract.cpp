#include "tools/sfxpack/commands/extract.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "host/convert.h"
#include "host/files.h"
#include "host/platform.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/progress.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/code_page.h"
#include "tools/sfxpack/installer/member_check.h"
#include "tools/sfxpack/packing/config_member.h"
#include "tools/sfxpack/packing/member_names.h"
#include "tools/sfxpack/platform/tool_platform.h"

namespace fs = std::filesystem;

namespace {

const char kExtractUsage[] =
    "Usage: sfxpack extract FILE [-C DIR] [--force] [--offset N] [--codepage N]\n"
    "\n"
    "Unpacks the members of the installer FILE below DIR (default: the current folder) as\n"
    "the installer would, following its configuration's UseDirs, FileDate and Attributes,\n"
    "but starts nothing and leaves the configuration member out. Never writes outside DIR.\n"
    "\n"
    "  -C DIR       the folder to unpack into (created if missing)\n"
    "  --force      replace existing files, and write damaged members (as they decode)\n"
    "               instead of stopping at the first; the exit code is 1 all the same\n"
    "  --offset N   the archive starts at byte N\n"
    "  --codepage N read the names in Windows code page N (default: the one the installer\n"
    "               records, 1252 if none)\n"
    "  --help       show this text\n";

struct TTarget {
  const TMember* member;
  std::string relative;  // "/" separated, below the folder
};

std::string NativeRelative(const std::string& targetName) {
  std::string relative = targetName;
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return relative;
}

// A damaged member stops the run; with --force it is written as it decodes, with a warning.
void AcceptMember(const TInstaller& installer, const std::string& what, const TMemberCheck& check, bool force,
                  size_t& damaged) {
  if (check.intact) return;
  const std::string problem = what + " " + check.problem;
  if (!force) FailOnFile(installer.path, problem);
  ReportError("warning: " + installer.path + ": " + problem + "; written as it decodes");
  ++damaged;
}

TConfiguration ReadConfiguration(const TInstaller& installer, bool force, size_t& damaged) {
  const TMember& last = installer.members.back();
  const TMemberCheck check = DecodeMember(installer, last);
  AcceptMember(installer, "the configuration member", check, force, damaged);
  return ParseConfiguration(std::string(check.data.begin(), check.data.end()));
}

std::vector<TTarget> PlanTargets(const TInstaller& installer, const TConfiguration& config,
                                 const std::string& folder, bool force) {
  std::vector<TTarget> targets;
  std::map<std::string, std::string> seen;
  ProblemList problems;
  for (size_t i = 0; i + 1 < installer.members.size(); ++i) {
    const TMember& member = installer.members[i];
    const std::string relative = NativeRelative(TargetNameOf(member.name, config.useDirs));
    std::string problem = member.nameDecodes
                              ? TargetPathProblem(folder, relative, force)
                              : "is no text in code page " + std::to_string(installer.codePage) +
                                    " (choose another with --codepage)";
    const auto earlier = seen.emplace(relative, member.name);
    if (problem.empty() && !earlier.second && !force) {
      problem = "would replace member \"" + earlier.first->second + "\" (use --force to let the later win)";
    }
    if (!problem.empty()) problems.Add(installer.path + ": \"" + member.name + "\": " + problem);
    targets.push_back({&member, relative});
  }
  problems.FailIfAny(installer.path, "member that cannot be unpacked");
  return targets;
}

void MakeFolders(const std::string& folder, const std::string& relative) {
  fs::path at = fs::u8path(folder);
  const fs::path parent = fs::u8path(relative).parent_path();
  for (const fs::path& part : parent) {
    at /= part;
    std::error_code error;
    fs::create_directory(at, error);
    if (error) FailOnFile(at.u8string(), "cannot create the folder: " + error.message());
  }
}

void WriteMemberFile(const std::string& path, const std::vector<uint8_t>& data, bool force) {
  std::error_code error;
  if (force && fs::symlink_status(fs::u8path(path), error).type() != fs::file_type::not_found) {
    fs::remove(fs::u8path(path), error);
    if (error) FailOnFile(path, "cannot replace: " + error.message());
  }
  std::FILE* file = CreateNewFile(path);
  if (file == nullptr) FailOnFile(path, LastSystemErrorText());
  const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), file) == data.size();
  if (std::fclose(file) != 0 || !written) FailOnFile(path, "write failed: " + LastSystemErrorText());
}

// The date and attributes go through the same host services, in the same order, as in the
// stub: the date first (to two seconds, 1980..2099 only), then the attributes.
void ApplyStoredFacts(const std::string& path, const TMember& member, const TConfiguration& config) {
  const std::string internal = InternalPath(path);
  if (config.fileDate && std::isfinite(member.dateTime)) {
    const uint32_t stamp = DateTimeToDosStamp(static_cast<double>(member.dateTime));
    const FileHandle file = OpenExistingFile(internal, kModeWriteShared);
    if (file != kInvalidHandle) {
      SetFileStamp(file, stamp);
      CloseFileHandle(file);
    }
  }
  if (config.attributes) SetAttributes(internal, static_cast<uint32_t>(member.attributes));
}

}  // namespace

std::string TargetPathProblem(const std::string& folder, const std::string& relative, bool force) {
  if (relative.empty() || relative.back() == '/') return "has no file name";
  const fs::path path = fs::u8path(relative);
  if (path.is_absolute()) return "is an absolute path";
  fs::path at = fs::u8path(folder);
  size_t remaining = static_cast<size_t>(std::distance(path.begin(), path.end()));
  for (const fs::path& part : path) {
    if (part == ".." || part == "." || part.empty()) return "leaves the target folder";
    at /= part;
    --remaining;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(at, error);
    if (status.type() == fs::file_type::not_found) return std::string();
    if (error) return at.u8string() + ": " + error.message();
    if (remaining > 0) {
      if (status.type() == fs::file_type::symlink) return at.u8string() + " is a symbolic link";
      if (status.type() != fs::file_type::directory) return at.u8string() + " is not a folder";
    } else {
      if (status.type() == fs::file_type::directory) return at.u8string() + " is a folder";
      if (!force) return at.u8string() + " exists (use --force to replace it)";
    }
  }
  return std::string();
}

size_t ExtractInstaller(const TInstaller& installer, const std::string& folder, bool force) {
  if (installer.members.empty()) FailOnFile(installer.path, "the archive has no members");
  size_t damaged = 0;
  const TConfiguration config = ReadConfiguration(installer, force, damaged);
  const std::vector<TTarget> targets = PlanTargets(installer, config, folder, force);
  std::error_code error;
  fs::create_directories(fs::u8path(folder), error);
  if (error || !fs::is_directory(fs::u8path(folder), error)) {
    FailOnFile(folder, "cannot create the folder" + (error ? ": " + error.message() : std::string()));
  }
  uint64_t total = 0;
  for (const TTarget& target : targets) total += static_cast<uint32_t>(target.member->storedSize);
  ProgressBar progress("Unpacking", total);
  for (const TTarget& target : targets) {
    progress.Show(target.member->name);
    const TMemberCheck check = DecodeMember(installer, *target.member);
    AcceptMember(installer, "member \"" + target.member->name + "\"", check, force, damaged);
    MakeFolders(folder, target.relative);
    const std::string path = (fs::u8path(folder) / fs::u8path(target.relative)).u8string();
    WriteMemberFile(path, check.data, force);
    ApplyStoredFacts(path, *target.member, config);
    progress.Advance(static_cast<uint32_t>(target.member->storedSize), target.member->name);
  }
  return damaged;
}

int RunExtractCommand(const Arguments& args) {
  const std::vector<TOptionDef> known = {{"-C", true}, {"--force", false}, {"--offset", true},
                                         {"--codepage", true}};
  return RunCommand("extract", kExtractUsage, args, known, [](const ParsedOptions& options) {
    if (options.Operands().size() != 1) throw EUsageError("give exactly one installer FILE");
    if (options.Has("-C") && options.Value("-C").empty()) throw EUsageError("-C needs a folder");
    const TInstaller installer = OpenInstaller(options.Operands()[0], OffsetOption(options),
                                               CodePageOption(options));
    const size_t damaged = ExtractInstaller(installer, options.Value("-C", "."), options.Has("--force"));
    if (damaged == 0) return kExitSuccess;
    ReportError(installer.path + ": " + std::to_string(damaged) + " damaged member" + (damaged == 1 ? "" : "s") +
                " written (--force)");
    return kExitFailure;
  });
}
