// sfxpack decode-stream / encode-stream: the raw member codec without any container, for
// tests and for looking into damaged members. "-" stands for stdin or stdout.
#include <cstdio>
#include <string>
#include <vector>

#include "lzh/lzh.h"
#include "tools/sfxpack/command_support.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/output_file.h"
#include "tools/sfxpack/tool_platform.h"

namespace {

const char kDecodeStreamUsage[] =
    "Usage: sfxpack decode-stream IN OUT\n"
    "\n"
    "Decodes one compressed member stream IN into OUT, exactly as the installer would: the\n"
    "stream ends at its end marker or where the input runs out. \"-\" is stdin or stdout.\n"
    "\n"
    "  --help   show this text\n";

const char kEncodeStreamUsage[] =
    "Usage: sfxpack encode-stream [-1 .. -9] IN OUT\n"
    "\n"
    "Compresses IN into one member stream OUT. \"-\" is stdin or stdout.\n"
    "\n"
    "  -1 .. -9   faster .. smaller (default -6)\n"
    "  --help     show this text\n";

const std::vector<std::string> kLevelFlags = {"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"};

std::vector<uint8_t> ReadInput(const std::string& name) {
  std::FILE* file = name == "-" ? stdin : OpenFileForReading(name);
  const std::string shown = name == "-" ? "stdin" : name;
  if (file == nullptr) FailOnFile(shown, LastSystemErrorText());
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (failed) FailOnFile(shown, "read error");
  return bytes;
}

void WriteOutput(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (name == "-") {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
      FailOnFile("stdout", "write error");
    return;
  }
  AtomicOutputFile file(name);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

void RequireInAndOut(const ParsedOptions& options) {
  if (options.Operands().size() != 2) throw EUsageError("give IN and OUT (\"-\" for stdin/stdout)");
}

}  // namespace

int RunDecodeStreamCommand(const Arguments& args) {
  return RunCommand("decode-stream", kDecodeStreamUsage, args, {}, [](const ParsedOptions& options) {
    RequireInAndOut(options);
    const std::vector<uint8_t> stream = ReadInput(options.Operands()[0]);
    WriteOutput(options.Operands()[1], LzhDecodeBuffer(stream.data(), stream.size()));
    return kExitSuccess;
  });
}

int RunEncodeStreamCommand(const Arguments& args) {
  std::vector<TOptionDef> known;
  for (const std::string& flag : kLevelFlags) known.push_back({flag, false});
  return RunCommand("encode-stream", kEncodeStreamUsage, args, known, [](const ParsedOptions& options) {
    RequireInAndOut(options);
    const std::string levelFlag = options.LastOf(kLevelFlags);
    const int level = levelFlag.empty() ? kLzhDefaultLevel : levelFlag[1] - '0';
    const std::vector<uint8_t> data = ReadInput(options.Operands()[0]);
    WriteOutput(options.Operands()[1], LzhEncode(data.data(), data.size(), level));
    return kExitSuccess;
  });
}
