#include <gtest/gtest.h>

#include <vector>

#include "host/exceptions.h"
#include "host/textfile.h"
#include "tests/host/host_test_support.h"

namespace {

class TextFiles : public testing::Test {
 protected:
  // The lines of a file holding bytes, read with the loop the delete list uses.
  std::vector<std::string> LinesOf(const std::string& bytes) {
    const std::string path = folder_.File("lines.txt");
    WriteWholeFile(path, bytes);
    TextFile file;
    file.Open(path);
    std::vector<std::string> lines;
    while (!file.AtEnd()) lines.push_back(file.ReadLine());
    file.Close();
    return lines;
  }

  ScratchFolder folder_;
};

using Lines = std::vector<std::string>;

TEST_F(TextFiles, LineBreaksAreCarriageReturnLineFeed) {
  EXPECT_EQ(LinesOf("A\r\nB"), (Lines{"A", "B"}));
  EXPECT_EQ(LinesOf("A\r\nB\r\n"), (Lines{"A", "B"}));
  EXPECT_EQ(LinesOf("A\nB"), (Lines{"A\nB"}));
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("\r\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(LinesOf("A\rB\r\r\nC"), (Lines{"A", "B", "", "C"}));
  EXPECT_EQ(LinesOf("A\r\n\nB"), (Lines{"A", "\nB"}));
}

TEST_F(TextFiles, CtrlZEndsTheText) {
  EXPECT_EQ(LinesOf("A\r\nB\x1A" "C\r\nD\r\n"), (Lines{"A", "B"}));
  EXPECT_EQ(LinesOf("\x1A" "A"), Lines{});
  EXPECT_EQ(LinesOf("A\r\x1A\n"), (Lines{"A"}));
}

TEST_F(TextFiles, LinesCrossTheTransferBuffer) {
  const std::string longLine(1000, 'L');
  EXPECT_EQ(LinesOf(longLine + "\r\nx"), (Lines{longLine, "x"}));
  // The CR is the buffer's last byte and its LF opens the next fill.
  const std::string line127(127, 'a');
  EXPECT_EQ(LinesOf(line127 + "\r\nb\r\n"), (Lines{line127, "b"}));
  const std::string line126(126, 'a');
  EXPECT_EQ(LinesOf(line126 + "\r\nb\r\n"), (Lines{line126, "b"}));
}

TEST_F(TextFiles, WrittenLinesEndInCarriageReturnLineFeed) {
  const std::string path = folder_.File("written.txt");
  Lines lines = {"first", "", std::string(300, 'w'), "C:\\TEMP\\SETUP.EXE"};
  for (int i = 0; i < 50; ++i) lines.push_back("line " + std::to_string(i));
  std::string expected;
  {
    TextFile file;
    file.Create(path);
    for (const std::string& line : lines) {
      file.WriteLine(line);
      expected += line + "\r\n";
    }
    file.Close();
  }
  EXPECT_EQ(ReadWholeFile(path), expected);
  EXPECT_EQ(LinesOf(expected), lines);
}

TEST_F(TextFiles, NamesAreCutTo259Characters) {
  const std::string name259 =
      folder_.Path() + std::string(259 - folder_.Path().size(), 'n');
  ASSERT_EQ(name259.size(), 259u);
  TextFile file;
  file.Create(name259 + "IGNORED");
  file.WriteLine("cut");
  file.Close();
  EXPECT_EQ(ReadWholeFile(name259), "cut\r\n");
  file.Open(name259 + "ALSO IGNORED");
  EXPECT_EQ(file.ReadLine(), "cut");
  file.Close();
}

TEST_F(TextFiles, OpeningAMissingFileRaisesFileNotFound) {
  TextFile file;
  try {
    file.Open(folder_.File("missing.lst"));
    FAIL() << "opened a missing file";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Code(), 2);
    EXPECT_EQ(failure.Message(), "Datei nicht gefunden");
  }
  EXPECT_THROW(file.ReadLine(), EInOutError);
}

TEST_F(TextFiles, MisuseRaisesRuntimeCodes) {
  TextFile file;
  EXPECT_THROW(file.Close(), EInOutError);
  file.Create(folder_.File("misuse.txt"));
  try {
    file.ReadLine();
    FAIL();
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Message(), "I/O-Fehler 104");
  }
  file.Close();
  try {
    file.WriteLine("x");
    FAIL();
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Message(), "I/O-Fehler 105");
  }
}

// Passes everything to the real disk but fails the chosen operation with the chosen code.
class FailingFileSystem : public FileSystem {
 public:
  enum class Fault { None, Create, Open, Read, Write, ShortWrite, Close };
  Fault fault = Fault::None;
  int code = kErrorAccessDenied;

  FileHandle OpenExisting(const std::string& path, int mode) override {
    if (fault == Fault::Open) return Refuse();
    return Real().OpenExisting(path, mode);
  }
  FileHandle CreateEmpty(const std::string& path) override { return Real().CreateEmpty(path); }
  FileHandle CreateForText(const std::string& path) override {
    if (fault == Fault::Create) return Refuse();
    return Real().CreateForText(path);
  }
  int32_t Read(FileHandle handle, void* buffer, int32_t count) override {
    if (fault == Fault::Read) return Refuse();
    return Real().Read(handle, buffer, count);
  }
  int32_t Write(FileHandle handle, const void* buffer, int32_t count) override {
    if (fault == Fault::Write) return Refuse();
    if (fault == Fault::ShortWrite) return Real().Write(handle, buffer, count / 2);
    return Real().Write(handle, buffer, count);
  }
  int32_t Seek(FileHandle handle, int32_t offset, int origin) override {
    return Real().Seek(handle, offset, origin);
  }
  bool Close(FileHandle handle) override {
    const bool closed = Real().Close(handle);
    if (fault == Fault::Close) return Refuse(), false;
    return closed;
  }
  bool IsPresent(const std::string& path) override { return Real().IsPresent(path); }
  bool IsDirectory(const std::string& path) override { return Real().IsDirectory(path); }
  bool MakeDirectory(const std::string& path) override { return Real().MakeDirectory(path); }
  bool Remove(const std::string& path) override { return Real().Remove(path); }
  int SetAttributes(const std::string& path, uint32_t attributes) override {
    return Real().SetAttributes(path, attributes);
  }
  int SetStamp(FileHandle handle, uint32_t stamp) override { return Real().SetStamp(handle, stamp); }
  int LastError() override { return refused_ ? code : Real().LastError(); }

 private:
  static FileSystem& Real() { return PlatformFileSystem(); }
  int Refuse() {
    refused_ = true;
    return -1;
  }
  bool refused_ = false;
};

class TextFileFailures : public TextFiles {
 protected:
  TextFileFailures() { SetCurrentFileSystem(&failing_); }
  ~TextFileFailures() override { SetCurrentFileSystem(nullptr); }

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

  FailingFileSystem failing_;
};

TEST_F(TextFileFailures, EveryPlatformFailureRaisesItsCode) {
  const std::string path = folder_.File("fail.txt");
  TextFile file;

  failing_.fault = FailingFileSystem::Fault::Create;
  failing_.code = kErrorAccessDenied;
  EXPECT_EQ(RaisedCode([&] { file.Create(path); }), kErrorAccessDenied);

  failing_.fault = FailingFileSystem::Fault::Write;
  failing_.code = kErrorSharingViolation;
  file.Create(path);
  file.WriteLine("short enough for the buffer");
  EXPECT_EQ(RaisedCode([&] { file.Close(); }), kErrorSharingViolation);
  failing_.fault = FailingFileSystem::Fault::None;
  file.Close();  // still open after the failure; the failed bytes are not retried
  EXPECT_EQ(ReadWholeFile(path), "");

  failing_.fault = FailingFileSystem::Fault::ShortWrite;
  file.Create(path);
  EXPECT_EQ(RaisedCode([&] { file.WriteLine(std::string(200, 'x')); }), 101);
  failing_.fault = FailingFileSystem::Fault::None;
  file.Close();

  failing_.fault = FailingFileSystem::Fault::Open;
  failing_.code = kErrorTooManyOpenFiles;
  EXPECT_EQ(RaisedCode([&] { file.Open(path); }), kErrorTooManyOpenFiles);

  failing_.fault = FailingFileSystem::Fault::None;
  failing_.code = kErrorAccessDenied;
  file.Open(path);
  failing_.fault = FailingFileSystem::Fault::Read;
  EXPECT_EQ(RaisedCode([&] { file.AtEnd(); }), kErrorAccessDenied);
  EXPECT_EQ(RaisedCode([&] { file.ReadLine(); }), kErrorAccessDenied);

  failing_.fault = FailingFileSystem::Fault::Close;
  failing_.code = 6;
  EXPECT_EQ(RaisedCode([&] { file.Close(); }), 6);
}

}  // namespace
