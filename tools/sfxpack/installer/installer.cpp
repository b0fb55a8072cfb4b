#include "tools/sfxpack/installer/installer.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "archive/directory.h"
#include "archive/entry_list.h"
#include "archive/format.h"
#include "host/convert.h"
#include "host/platform.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/options.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/installer/code_page.h"
#include "tools/sfxpack/installer/member_check.h"
#include "tools/sfxpack/packing/config_member.h"
#include "tools/sfxpack/platform/tool_platform.h"

namespace {

// Offsets in the directory are signed 32-bit values, so no archive reaches past this.
constexpr uint64_t kLargestInstaller = std::numeric_limits<int32_t>::max();

TMember MemberOfEntryLine(const std::string& line) {
  const auto field = [&line](int n) { return EntryField(line, kEntrySeparator, n); };
  TMember member;
  member.name = field(kFieldName);
  member.unpackedSize = ParseInteger(field(kFieldUnpackedSize));
  member.storedSize = ParseInteger(field(kFieldStoredSize));
  member.attributes = ParseInteger(field(kFieldAttributes));
  member.offset = ParseInteger(field(kFieldOffset));
  try {
    member.dateTime = ParseFloat(field(kFieldDateTime));
  } catch (const Exception&) {
    // A non-finite date reads as a directory; the stub would fail on it only when it sets the
    // date. Listing shows it as "-".
    member.dateTime = std::numeric_limits<long double>::quiet_NaN();
  }
  return member;
}

void ReadDirectory(TInstaller& installer) {
  TArchiveDirectory directory;
  try {
    LoadArchiveDirectory(InternalPath(installer.path), static_cast<int32_t>(installer.archiveOffset), directory);
  } catch (const EArchiveFormat& failure) {
    FailOnFile(installer.path, "not a valid archive: " + failure.Detail());
  } catch (const Exception& failure) {
    FailOnFile(installer.path, "not a valid archive: " + failure.Message());
  }
  installer.dataStart = static_cast<uint32_t>(directory.dataStart);
  for (int i = 0; i < directory.entries.EntryCount(); ++i) {
    installer.members.push_back(MemberOfEntryLine(directory.entries.GetEntry(i)));
    if (directory.checksumsPresent) installer.members.back().checksum = directory.memberChecksums[static_cast<size_t>(i)];
  }
  installer.hasChecksums = directory.checksumsPresent;
}

// A damaged configuration is reported by test and extract; its names are still worth showing.
int RecordedCodePage(const TInstaller& installer) {
  const std::optional<TConfiguration> config = IntactConfiguration(installer);
  if (!config) return kDefaultCodePage;
  const int codePage = config->codePage;
  if (IsSupportedCodePage(codePage)) return codePage;
  ReportError(installer.path + ": the configuration records an unknown code page; names are read in " +
              std::to_string(kDefaultCodePage) + " (choose another with --codepage)");
  return kDefaultCodePage;
}

std::string EscapedText(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(c);
    } else {
      text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    }
  }
  return text;
}

void DecodeNames(TInstaller& installer, std::optional<int> codePage) {
  installer.codePage = codePage ? *codePage : RecordedCodePage(installer);
  for (TMember& member : installer.members) {
    member.storedName = member.name;
    member.nameDecodes = DecodeText(member.storedName, installer.codePage, member.name);
    if (!member.nameDecodes) member.name = EscapedText(member.storedName);
  }
}

}  // namespace

std::optional<TConfiguration> IntactConfiguration(const TInstaller& installer) {
  if (installer.members.empty()) return std::nullopt;
  const TMemberCheck check = DecodeMember(installer, installer.members.back());
  if (!check.intact) return std::nullopt;
  return ParseConfiguration(std::string(check.data.begin(), check.data.end()));
}

uint64_t TInstaller::ArchiveEnd() const {
  uint64_t end = dataStart;
  for (const TMember& member : members) {
    const uint64_t memberEnd = uint64_t{dataStart} + static_cast<uint32_t>(member.offset) +
                               static_cast<uint32_t>(member.storedSize);
    if (memberEnd > end) end = memberEnd;
  }
  return end;
}

uint64_t TInstaller::ArchiveBytesEnd() const {
  const uint64_t end = ArchiveEnd();
  return hasChecksums ? end + ChecksumBlockSize(static_cast<uint32_t>(members.size())) : end;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::u8path(path), error)) {
    FailOnFile(path, "is a folder, not a file");
  }
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) FailOnFile(path, LastSystemErrorText());
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (bytes.size() + got > kLargestInstaller) {
      std::fclose(file);
      FailOnFile(path, "larger than 2 GiB, beyond what the archive format can address");
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) FailOnFile(path, "read error");
  return bytes;
}

TInstaller OpenInstaller(const std::string& path, std::optional<uint32_t> offset,
                         std::optional<int> codePage) {
  TInstaller installer;
  installer.path = path;
  installer.bytes = ReadWholeFile(path);
  if (offset) {
    installer.archiveOffset = *offset;
  } else {
    std::string reason;
    if (!FindOffsetDigits(installer.bytes.data(), installer.bytes.size(), installer.digits, reason)) {
      FailOnFile(path, reason);
    }
    installer.archiveOffset = installer.digits.value;
  }
  if (installer.archiveOffset >= installer.bytes.size()) {
    FailOnFile(path, "not a valid archive: the archive offset " +
                         std::to_string(installer.archiveOffset) + " lies at or past the end (" +
                         std::to_string(installer.bytes.size()) + " bytes); a stub without archive?");
  }
  ReadDirectory(installer);
  DecodeNames(installer, codePage);
  return installer;
}

std::optional<uint32_t> OffsetOption(const ParsedOptions& options) {
  if (!options.Has("--offset")) return std::nullopt;
  return static_cast<uint32_t>(ParseCount("--offset", options.Value("--offset"), kLargestInstaller));
}
