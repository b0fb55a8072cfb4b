#include <gtest/gtest.h>

#include <vector>

#include "host/exceptions.h"
#include "host/textfile.h"
#include "tests/support/scratch_folder.h"

namespace {

using Lines = std::vector<std::string>;

class TextFiles : public testing::Test {
 protected:
  // The lines of a file holding bytes, read with the loop the delete list uses.
  Lines LinesOf(const std::string& bytes) {
    WriteText(folder_.Path("lines.txt"), bytes);
    TextFile file;
    file.Open(folder_.Internal("lines.txt"));
    Lines lines;
    while (!file.AtEnd()) lines.push_back(file.ReadLine());
    file.Close();
    return lines;
  }
  ScratchFolder folder_;
};

// Lines end in CR LF; a lone CR ends one too, a lone LF does not; Ctrl+Z ends the text; a
// line may cross the 128-byte transfer buffer, also between its CR and LF. (Written lines: the
// delete lists of the archive tests and the fault walk, whose longest line crosses the buffer.)
TEST_F(TextFiles, ReadsLines) {
  const std::string longLine(1000, 'L'), line127(127, 'a'), line126(126, 'a');
  const struct { std::string bytes; Lines lines; } kRows[] = {
      {"A\r\nB", {"A", "B"}}, {"A\nB", {"A\nB"}}, {"", {}}, {"\r\n\r\n", {"", ""}},
      {"A\rB\r\r\nC", {"A", "B", "", "C"}}, {"A\r\n\nB", {"A", "\nB"}}, {"A\r\nB\x1A" "C\r\nD\r\n", {"A", "B"}},
      {"\x1A" "A", {}}, {"A\r\x1A\n", {"A"}}, {longLine + "\r\nx", {longLine, "x"}},
      {line127 + "\r\nb\r\n", {line127, "b"}}, {line126 + "\r\nb\r\n", {line126, "b"}}};
  for (const auto& row : kRows) EXPECT_EQ(LinesOf(row.bytes), row.lines) << row.bytes.substr(0, 20);
}

// Names are cut to 259 characters; a missing file raises and leaves nothing open. (The codes
// raised: the platform's in the file-system test, passed on as the fault walk checks.)
TEST_F(TextFiles, NamesAndMissingFiles) {
  const std::string name259 = folder_.Internal() + std::string(259 - folder_.Internal().size(), 'n');
  TextFile file;
  file.Create(name259 + "IGNORED");
  file.WriteLine("cut");
  file.Close();
  file.Open(name259 + "ALSO IGNORED");
  EXPECT_EQ(file.ReadLine(), "cut");
  file.Close();
  EXPECT_THROW(file.Open(folder_.Internal("missing.lst")), EInOutError);
  EXPECT_THROW(file.Close(), EInOutError);
}

}  // namespace
