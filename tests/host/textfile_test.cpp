#include <gtest/gtest.h>

#include <vector>

#include "host/exceptions.h"
#include "host/textfile.h"
#include "tests/host/host_test_support.h"

namespace {

using Lines = std::vector<std::string>;

// The code of the EInOutError that action raises, or 0.
template <typename Action>
int RaisedCode(Action action) {
  try {
    action();
  } catch (const EInOutError& failure) {
    return failure.Code();
  }
  return 0;
}

class TextFiles : public testing::Test {
 protected:
  // The lines of a file holding bytes, read with the loop the delete list uses.
  Lines LinesOf(const std::string& bytes) {
    const std::string path = folder_.File("lines.txt");
    WriteWholeFile(path, bytes);
    TextFile file;
    file.Open(path);
    Lines lines;
    while (!file.AtEnd()) lines.push_back(file.ReadLine());
    file.Close();
    return lines;
  }
  ScratchFolder folder_;
};

// Lines end in CR LF; a lone CR ends one too, a lone LF does not; Ctrl+Z ends the text; a
// line may cross the 128-byte transfer buffer, also between its CR and LF.
TEST_F(TextFiles, ReadsLines) {
  const std::string longLine(1000, 'L'), line127(127, 'a'), line126(126, 'a');
  const struct { std::string bytes; Lines lines; } kRows[] = {
      {"A\r\nB", {"A", "B"}}, {"A\r\nB\r\n", {"A", "B"}}, {"A\nB", {"A\nB"}}, {"", {}},
      {"\r\n\r\n", {"", ""}}, {"A\rB\r\r\nC", {"A", "B", "", "C"}}, {"A\r\n\nB", {"A", "\nB"}},
      {"A\r\nB\x1A" "C\r\nD\r\n", {"A", "B"}}, {"\x1A" "A", {}}, {"A\r\x1A\n", {"A"}},
      {longLine + "\r\nx", {longLine, "x"}}, {line127 + "\r\nb\r\n", {line127, "b"}},
      {line126 + "\r\nb\r\n", {line126, "b"}}};
  for (const auto& row : kRows) EXPECT_EQ(LinesOf(row.bytes), row.lines) << row.bytes.substr(0, 20);
}

TEST_F(TextFiles, WrittenLinesEndInCarriageReturnLineFeed) {
  const std::string path = folder_.File("written.txt");
  Lines lines = {"first", "", std::string(300, 'w'), "C:\\TEMP\\SETUP.EXE"};
  for (int i = 0; i < 50; ++i) lines.push_back("line " + std::to_string(i));
  std::string expected;
  TextFile file;
  file.Create(path);
  for (const std::string& line : lines) {
    file.WriteLine(line);
    expected += line + "\r\n";
  }
  file.Close();
  EXPECT_EQ(ReadWholeFile(path), expected);
  EXPECT_EQ(LinesOf(expected), lines);
}

TEST_F(TextFiles, NamesAreCutTo259Characters) {
  const std::string name259 = folder_.Path() + std::string(259 - folder_.Path().size(), 'n');
  TextFile file;
  file.Create(name259 + "IGNORED");
  file.WriteLine("cut");
  file.Close();
  EXPECT_EQ(ReadWholeFile(name259), "cut\r\n");
  file.Open(name259 + "ALSO IGNORED");
  EXPECT_EQ(file.ReadLine(), "cut");
  file.Close();
}

TEST_F(TextFiles, MissingFileAndMisuseRaiseTheirCodes) {
  TextFile file;
  try {
    file.Open(folder_.File("missing.lst"));
    FAIL() << "opened a missing file";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Code(), 2);
    EXPECT_EQ(failure.Message(), "Datei nicht gefunden");
  }
  EXPECT_THROW(file.ReadLine(), EInOutError);
  EXPECT_THROW(file.Close(), EInOutError);
  file.Create(folder_.File("misuse.txt"));
  EXPECT_EQ(RaisedCode([&] { file.ReadLine(); }), 104);
  file.Close();
  EXPECT_EQ(RaisedCode([&] { file.WriteLine("x"); }), 105);
}

// Passes everything to the real disk but fails the chosen operation with the chosen code.
class FailingFileSystem : public FileSystem {
 public:
  enum class Fault { None, Create, Open, Read, Write, ShortWrite, Close };
  Fault fault = Fault::None;
  int code = kErrorAccessDenied;

  FileHandle OpenExisting(const std::string& path, int mode) override {
    return fault == Fault::Open ? Refuse() : R().OpenExisting(path, mode);
  }
  FileHandle CreateEmpty(const std::string& path) override { return R().CreateEmpty(path); }
  FileHandle CreateForText(const std::string& path) override {
    return fault == Fault::Create ? Refuse() : R().CreateForText(path);
  }
  int32_t Read(FileHandle handle, void* buffer, int32_t count) override {
    return fault == Fault::Read ? Refuse() : R().Read(handle, buffer, count);
  }
  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override {
    if (fault == Fault::Write) return Refuse();
    return R().Write(handle, buffer, fault == Fault::ShortWrite ? count / 2 : count);
  }
  int32_t Seek(FileHandle handle, int32_t offset, int origin) override {
    return R().Seek(handle, offset, origin);
  }
  bool Close(FileHandle handle) override {
    const bool closed = R().Close(handle);
    return fault == Fault::Close ? (Refuse(), false) : closed;
  }
  bool IsPresent(const std::string& path) override { return R().IsPresent(path); }
  bool IsDirectory(const std::string& path) override { return R().IsDirectory(path); }
  bool MakeDirectory(const std::string& path) override { return R().MakeDirectory(path); }
  bool Remove(const std::string& path) override { return R().Remove(path); }
  int SetAttributes(const std::string& path, uint32_t attributes) override {
    return R().SetAttributes(path, attributes);
  }
  int SetStamp(FileHandle handle, uint32_t stamp) override { return R().SetStamp(handle, stamp); }
  int LastError() override { return refused_ ? code : R().LastError(); }

 private:
  static FileSystem& R() { return PlatformFileSystem(); }
  int Refuse() { return refused_ = true, -1; }
  bool refused_ = false;
};

TEST_F(TextFiles, EveryPlatformFailureRaisesItsCode) {
  FailingFileSystem failing;
  SetCurrentFileSystem(&failing);
  const auto fail = [&](FailingFileSystem::Fault fault, int code) {
    failing.fault = fault;
    failing.code = code;
  };
  using Fault = FailingFileSystem::Fault;
  const std::string path = folder_.File("fail.txt");
  TextFile file;

  fail(Fault::Create, kErrorAccessDenied);
  EXPECT_EQ(RaisedCode([&] { file.Create(path); }), kErrorAccessDenied);

  fail(Fault::Write, kErrorSharingViolation);
  file.Create(path);
  file.WriteLine("short enough for the buffer");
  EXPECT_EQ(RaisedCode([&] { file.Close(); }), kErrorSharingViolation);
  failing.fault = Fault::None;
  file.Close();  // still open after the failure; the failed bytes are not retried
  EXPECT_EQ(ReadWholeFile(path), "");

  failing.fault = Fault::ShortWrite;
  file.Create(path);
  EXPECT_EQ(RaisedCode([&] { file.WriteLine(std::string(200, 'x')); }), 101);
  failing.fault = Fault::None;
  file.Close();

  fail(Fault::Open, kErrorTooManyOpenFiles);
  EXPECT_EQ(RaisedCode([&] { file.Open(path); }), kErrorTooManyOpenFiles);

  fail(Fault::None, kErrorAccessDenied);
  file.Open(path);
  failing.fault = Fault::Read;
  EXPECT_EQ(RaisedCode([&] { file.AtEnd(); }), kErrorAccessDenied);
  EXPECT_EQ(RaisedCode([&] { file.ReadLine(); }), kErrorAccessDenied);

  fail(Fault::Close, 6);
  EXPECT_EQ(RaisedCode([&] { file.Close(); }), 6);
  SetCurrentFileSystem(nullptr);
}

}  // namespace
