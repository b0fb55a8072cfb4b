// sfxpack decode-stream / encode-stream: the raw member codec without any container, for
// tests and for looking into damaged members. "-" stands for stdin or stdout. Both stream:
// the output is written as it is produced, and the memory they take does not grow with
// the input.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "lzh/lzh.h"
#include "lzh/lzh_encoder.h"
#include "lzh/lzh_stream.h"
#include "tools/sfxpack/cli/command_support.h"
#include "tools/sfxpack/cli/progress.h"
#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/packing/output_file.h"
#include "tools/sfxpack/platform/tool_platform.h"

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
    "Compresses IN into one member stream OUT. \"-\" is stdin or stdout; stdin is first\n"
    "kept in a temporary file, since the whole input must be at hand.\n"
    "\n"
    "  -1 .. -9   faster .. smaller (default -6)\n"
    "  --help     show this text\n";

// The decoder's largest buffers: fewer calls of the procedures.
constexpr uint16_t kStreamBuffer = 32768;

const std::vector<std::string> kLevelFlags = {"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"};

// Where the output goes as it is produced: a file that appears under its name only when
// complete, or stdout. The decoder's procedures must not raise (it would end the stream as
// if the input had run out), so a failure is kept and raised after the decoder returns.
class StreamOutput {
 public:
  explicit StreamOutput(const std::string& name) {
    if (name != "-") file_ = std::make_unique<AtomicOutputFile>(name);
  }

  void Write(const uint8_t* bytes, size_t count) {
    if (failure_ || count == 0) return;
    try {
      if (file_ != nullptr) {
        file_->Write(bytes, count);
      } else if (std::fwrite(bytes, 1, count, stdout) != count) {
        FailOnFile("stdout", "write error");
      }
    } catch (const Exception&) {
      failure_ = std::current_exception();
    }
  }

  void Finish() {
    if (failure_) std::rethrow_exception(failure_);
    if (file_ != nullptr) {
      file_->Commit();
    } else if (std::fflush(stdout) != 0) {
      FailOnFile("stdout", "write error");
    }
  }

 private:
  std::unique_ptr<AtomicOutputFile> file_;
  std::exception_ptr failure_;
};

// Progress counts input bytes, against the input's size where it has one.
uint64_t SizeOrZero(const std::string& name, std::FILE* file) {
  if (name == "-") return 0;
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(file);
  std::rewind(file);
  return size > 0 ? static_cast<uint64_t>(size) : 0;
}

struct DecodeRun {
  std::FILE* in;
  bool readFailed;
  StreamOutput* out;
  ProgressBar* progress;
  uint64_t total;
};

void ReadForDecoder(void* context, uint8_t* buffer, uint16_t requested, uint16_t& delivered) {
  auto& run = *static_cast<DecodeRun*>(context);
  const size_t got = run.readFailed ? 0 : std::fread(buffer, 1, requested, run.in);
  if (got < requested && std::ferror(run.in)) run.readFailed = true;
  delivered = static_cast<uint16_t>(got);
  if (run.total > 0) run.progress->Advance(got, "");
}

void WriteForDecoder(void* context, const uint8_t* buffer, uint16_t count, uint16_t& written) {
  static_cast<DecodeRun*>(context)->out->Write(buffer, count);
  written = count;
}

void RequireInAndOut(const ParsedOptions& options) {
  if (options.Operands().size() != 2) throw EUsageError("give IN and OUT (\"-\" for stdin/stdout)");
}

void DecodeStreamFile(const std::string& inName, const std::string& outName) {
  std::FILE* in = inName == "-" ? stdin : OpenFileForReading(inName);
  const std::string shown = inName == "-" ? "stdin" : inName;
  if (in == nullptr) FailOnFile(shown, LastSystemErrorText());
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(in == stdin ? nullptr : in, std::fclose);
  StreamOutput out(outName);
  const uint64_t total = SizeOrZero(inName, in);
  ProgressBar progress("Decoding", total);
  DecodeRun run{in, false, &out, &progress, total};
  lzh::DecodeStream({ReadForDecoder, WriteForDecoder, &run}, kStreamBuffer, kStreamBuffer);
  progress.Finish();
  if (run.readFailed) FailOnFile(shown, "read error");
  out.Finish();
}

class EncodeDrain : public lzh::StreamDrain {
 public:
  EncodeDrain(StreamOutput& out, MappedInput& in, ProgressBar& progress)
      : out_(out), in_(in), progress_(progress) {}

  void Take(const uint8_t* bytes, size_t count) override { out_.Write(bytes, count); }

  void Coded(size_t position) override {
    // Matches reach back a window's length; the text before that is needed no more.
    if (position > 2 * lzh::kRingSize) in_.Release(position - 2 * lzh::kRingSize);
    const uint64_t done = position > lzh::kRingSize ? position - lzh::kRingSize : 0;
    progress_.Advance(done - shown_, "");
    shown_ = done;
  }

 private:
  StreamOutput& out_;
  MappedInput& in_;
  ProgressBar& progress_;
  uint64_t shown_ = 0;
};

void EncodeStreamFile(const std::string& inName, const std::string& outName, int level) {
  MappedInput in(inName, lzh::kRingSize);
  lzh::FillTextPrefix(in.Prefix());
  StreamOutput out(outName);
  ProgressBar progress("Encoding", in.FileSize());
  EncodeDrain drain(out, in, progress);
  lzh::EncodeToDrain(lzh::TextView(in.Text(), in.TextSize()), level, drain);
  progress.Finish();
  out.Finish();
}

}  // namespace

int RunDecodeStreamCommand(const Arguments& args) {
  return RunCommand("decode-stream", kDecodeStreamUsage, args, {}, [](const ParsedOptions& options) {
    RequireInAndOut(options);
    DecodeStreamFile(options.Operands()[0], options.Operands()[1]);
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
    EncodeStreamFile(options.Operands()[0], options.Operands()[1], level);
    return kExitSuccess;
  });
}
