#include <gtest/gtest.h>

#include "host/exceptions.h"

namespace {

TEST(InOutError, MessagesFollowTheCode) {
  const struct { int code; const char* message; } kRows[] = {
      {2, "Datei nicht gefunden"}, {3, "Ung\xFCltiger Dateiname"}, {4, "Zu viele Dateien ge\xF6" "ffnet"},
      {5, "Dateizugriff verweigert"}, {100, "Lesen nach Dateiende (EOF)"},
      {101, "Kapazit\xE4t der Diskette/Festplatte ersch\xF6pft"}, {106, "Ung\xFCltige numerische Eingabe"},
      {32, "I/O-Fehler 32"}, {1002, "I/O-Fehler 1002"}};
  for (const auto& row : kRows) EXPECT_EQ(EInOutError(row.code).Message(), row.message);
}

__attribute__((noinline)) Exception RaisedHere() { return Exception("here"); }
__attribute__((noinline)) Exception RaisedThere() { return Exception("there"); }

// "<class> im Modul <name> bei <address>.\n<message>": the address is the code that raised, the
// module name is cut to 63 characters, the period added only where the message lacks it, and
// the whole held to the 255 characters of its buffer.
TEST(ErrorReport, NamesClassModuleAddressAndMessage) {
  EXPECT_EQ(RaisedHere().Address(), RaisedHere().Address());
  EXPECT_NE(RaisedHere().Address(), RaisedThere().Address());
  const std::string longName(100, 'm');
  const struct { std::string report, before, after; } kRows[] = {
      {ErrorReportText(Exception("No name"), "C:\\PROGRAMS\\SETUP.EXE"), "Exception Exception im Modul SETUP.EXE bei ", ".\nNo name."},
      {ErrorReportText(EConvertError("Done."), "A"), "Exception EConvertError im Modul A bei ", ".\nDone."},
      {ErrorReportText(EConvertError(""), "A"), "Exception EConvertError im Modul A bei ", ".\n"},
      {ErrorReportText(Exception("x"), "C:\\" + longName), "Exception Exception im Modul " + longName.substr(0, 63) + " bei ", ".\nx."}};
  for (const auto& row : kRows) {
    ASSERT_EQ(row.report.compare(0, row.before.size(), row.before), 0) << row.report;
    const size_t end = row.report.find('.', row.before.size());
    const std::string address = row.report.substr(row.before.size(), end - row.before.size());
    EXPECT_GE(address.size(), 8u);
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(row.report.substr(end), row.after);
  }
  EXPECT_EQ(ErrorReportText(Exception(std::string(400, 'q')), "A").size(), 255u);
}

// The German texts (Windows-1252) and a native path (UTF-8 already) in one message: each comes
// out as UTF-8, the path in "/" form; a UTF-8 sequence cut short is taken byte by byte.
TEST(TerminalText, Cp1252TextsAndUtf8PathsBothReadRight) {
  EXPECT_EQ(TerminalText("Error writing file \\tmp\\Gr\xC3\xBC\xC3\x9F""e\\big.bin.\r\nKapazit\xE4t ersch\xF6pft"),
            "Error writing file /tmp/Gr\xC3\xBC\xC3\x9F""e/big.bin.\r\nKapazit\xC3\xA4t ersch\xC3\xB6pft");
  EXPECT_EQ(TerminalText("\xE2\x82\xAC \xF0\x9F\x98\x80 \xE2\x82 \xC3"), "\xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\xA2\xC2\x82 \xC3\x83");
}

}  // namespace
