#include "host/textfile.h"

#include <cstring>

#include "host/exceptions.h"

namespace {

// Names longer than this are cut when bound to the file, as the platform's path buffer
// holds 259 characters and a NUL.
constexpr size_t kTextFileNameLimit = 259;

// Reading opens for read access and lets others write but not read (sharing nibble 3).
constexpr int kTextReadMode = 3 << 4;

constexpr char kCarriageReturn = 13;
constexpr char kLineFeed = 10;
constexpr char kEndOfFileMark = 26;

// Codes for misuse of a text file, after the runtime's own numbering.
constexpr int kErrorNotOpen = 103;
constexpr int kErrorNotOpenForInput = 104;
constexpr int kErrorNotOpenForOutput = 105;

[[noreturn]] void RaisePlatformFailure() { throw EInOutError(CurrentFileSystem().LastError()); }

}  // namespace

TextFile::~TextFile() {
  if (state_ == State::Closed) return;
  try {
    Close();
  } catch (const Exception&) {
    CloseFileHandle(handle_);
  }
  state_ = State::Closed;
}

void TextFile::Create(const std::string& path) {
  if (state_ != State::Closed) Close();
  const FileHandle handle = CurrentFileSystem().CreateForText(path.substr(0, kTextFileNameLimit));
  if (handle == kInvalidHandle) RaisePlatformFailure();
  handle_ = handle;
  state_ = State::Writing;
  bufferPos_ = bufferEnd_ = 0;
}

void TextFile::Open(const std::string& path) {
  if (state_ != State::Closed) Close();
  const FileHandle handle =
      CurrentFileSystem().OpenExisting(path.substr(0, kTextFileNameLimit), kTextReadMode);
  if (handle == kInvalidHandle) RaisePlatformFailure();
  handle_ = handle;
  state_ = State::Reading;
  bufferPos_ = bufferEnd_ = 0;
}

void TextFile::WriteLine(const std::string& text) {
  if (state_ != State::Writing) throw EInOutError(kErrorNotOpenForOutput);
  const std::string line = text + kCarriageReturn + kLineFeed;
  size_t done = 0;
  while (done < line.size()) {
    if (bufferEnd_ == static_cast<int>(sizeof buffer_)) FlushBuffer();
    const size_t room = sizeof buffer_ - static_cast<size_t>(bufferEnd_);
    const size_t part = line.size() - done < room ? line.size() - done : room;
    std::memcpy(buffer_ + bufferEnd_, line.data() + done, part);
    bufferEnd_ += static_cast<int>(part);
    done += part;
  }
}

// A failed or short write drops the buffered bytes: nothing is retried.
void TextFile::FlushBuffer() {
  const int32_t count = bufferEnd_;
  bufferEnd_ = 0;
  if (count == 0) return;
  const int32_t written = CurrentFileSystem().Write(handle_, buffer_, count);
  if (written < 0) RaisePlatformFailure();
  if (written < count) throw EInOutError(kErrorDiskFull);
}

bool TextFile::FillBuffer() {
  bufferPos_ = bufferEnd_ = 0;
  const int32_t count = CurrentFileSystem().Read(handle_, buffer_, sizeof buffer_);
  if (count < 0) RaisePlatformFailure();
  bufferEnd_ = count;
  return count > 0;
}

bool TextFile::AtEnd() {
  if (state_ != State::Reading) throw EInOutError(kErrorNotOpenForInput);
  if (bufferPos_ == bufferEnd_ && !FillBuffer()) return true;
  return buffer_[bufferPos_] == kEndOfFileMark;
}

std::string TextFile::ReadLine() {
  if (state_ != State::Reading) throw EInOutError(kErrorNotOpenForInput);
  std::string line;
  for (;;) {
    if (bufferPos_ == bufferEnd_ && !FillBuffer()) return line;
    const char c = buffer_[bufferPos_];
    if (c == kEndOfFileMark) return line;
    ++bufferPos_;
    if (c == kCarriageReturn) break;
    line += c;
  }
  if (bufferPos_ == bufferEnd_ && !FillBuffer()) return line;
  if (buffer_[bufferPos_] == kLineFeed) ++bufferPos_;
  return line;
}

void TextFile::Close() {
  if (state_ == State::Closed) throw EInOutError(kErrorNotOpen);
  if (state_ == State::Writing) FlushBuffer();
  const bool closed = CurrentFileSystem().Close(handle_);
  state_ = State::Closed;
  handle_ = kInvalidHandle;
  if (!closed) RaisePlatformFailure();
}
