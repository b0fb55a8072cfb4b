#include <gtest/gtest.h>

#include "host/exceptions.h"

namespace {

TEST(InOutError, MessagesFollowTheCode) {
  const struct { int code; const char* message; } kRows[] = {
      {2, "Datei nicht gefunden"}, {3, "Ung\xFCltiger Dateiname"},
      {4, "Zu viele Dateien ge\xF6" "ffnet"}, {5, "Dateizugriff verweigert"},
      {100, "Lesen nach Dateiende (EOF)"}, {101, "Kapazit\xE4t der Diskette/Festplatte ersch\xF6pft"},
      {106, "Ung\xFCltige numerische Eingabe"}, {32, "I/O-Fehler 32"}, {0, "I/O-Fehler 0"},
      {1002, "I/O-Fehler 1002"}};
  for (const auto& row : kRows) {
    const EInOutError failure(row.code);
    EXPECT_EQ(failure.Message(), row.message);
    EXPECT_EQ(failure.Code(), row.code);
    EXPECT_STREQ(failure.ClassName(), "EInOutError");
  }
}

__attribute__((noinline)) Exception RaisedHere() { return Exception("here"); }
__attribute__((noinline)) Exception RaisedThere() { return Exception("there"); }

TEST(Failures, RecordTheAddressTheyWereRaisedAt) {
  EXPECT_NE(RaisedHere().Address(), nullptr);
  EXPECT_EQ(RaisedHere().Address(), RaisedHere().Address());
  EXPECT_NE(RaisedHere().Address(), RaisedThere().Address());
}

// The report is "<before><hex address><after>"; the address differs from run to run. The
// module name is cut to 63 characters and the period added only where the message lacks it.
TEST(ErrorReport, NamesClassModuleAddressAndMessage) {
  const std::string longName(100, 'm');
  const struct { std::string report, before, after; } kRows[] = {
      {ErrorReportText(Exception("This is not a valid directory name"), "C:\\PROGRAMS\\SETUP.EXE"),
       "Exception Exception im Modul SETUP.EXE bei ", ".\nThis is not a valid directory name."},
      {ErrorReportText(EInOutError(2), "SETUP.EXE"),
       "Exception EInOutError im Modul SETUP.EXE bei ", ".\nDatei nicht gefunden."},
      {ErrorReportText(EConvertError("Done."), "A"), "Exception EConvertError im Modul A bei ",
       ".\nDone."},
      {ErrorReportText(EConvertError(""), "A"), "Exception EConvertError im Modul A bei ", ".\n"},
      {ErrorReportText(Exception("x"), "C:\\" + longName),
       "Exception Exception im Modul " + longName.substr(0, 63) + " bei ", ".\nx."}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.report);
    ASSERT_EQ(row.report.compare(0, row.before.size(), row.before), 0);
    const size_t end = row.report.find('.', row.before.size());
    ASSERT_NE(end, std::string::npos);
    const std::string address = row.report.substr(row.before.size(), end - row.before.size());
    EXPECT_GE(address.size(), 8u);
    EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(row.report.substr(end), row.after);
  }
  const std::string report = ErrorReportText(Exception(std::string(400, 'q')), "A");
  EXPECT_EQ(report.size(), 255u);
  EXPECT_EQ(report.back(), 'q');
}

TEST(ErrorReport, Cp1252ToUtf8ForTerminals) {
  EXPECT_EQ(Cp1252ToUtf8("ge\xF6" "ffnet \xDC" "ber \xE4\xFC"),
            "ge\xC3\xB6" "ffnet \xC3\x9C" "ber \xC3\xA4\xC3\xBC");
  EXPECT_EQ(Cp1252ToUtf8("plain"), "plain");
}

}  // namespace
