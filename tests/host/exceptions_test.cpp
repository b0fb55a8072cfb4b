#include <gtest/gtest.h>

#include <cstring>

#include "host/exceptions.h"

namespace {

TEST(InOutError, MessagesFollowTheCode) {
  const struct {
    int code;
    const char* message;
  } kTable[] = {
      {2, "Datei nicht gefunden"},
      {3, "Ung\xFCltiger Dateiname"},
      {4, "Zu viele Dateien ge\xF6" "ffnet"},
      {5, "Dateizugriff verweigert"},
      {100, "Lesen nach Dateiende (EOF)"},
      {101, "Kapazit\xE4t der Diskette/Festplatte ersch\xF6pft"},
      {106, "Ung\xFCltige numerische Eingabe"},
      {32, "I/O-Fehler 32"},
      {0, "I/O-Fehler 0"},
      {1002, "I/O-Fehler 1002"},
  };
  for (const auto& row : kTable) {
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

// Splits "... bei XXXXXXXX.\n..." around the address, which differs from run to run.
void ExpectReport(const std::string& report, const std::string& before, const std::string& after) {
  ASSERT_EQ(report.compare(0, before.size(), before), 0) << report;
  const size_t end = report.find('.', before.size());
  ASSERT_NE(end, std::string::npos) << report;
  const std::string address = report.substr(before.size(), end - before.size());
  EXPECT_GE(address.size(), 8u) << report;
  EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << report;
  EXPECT_EQ(report.substr(end), after) << report;
}

TEST(ErrorReport, NamesClassModuleAddressAndMessage) {
  ExpectReport(ErrorReportText(Exception("This is not a valid directory name"),
                               "C:\\PROGRAMS\\SETUP.EXE"),
               "Exception Exception im Modul SETUP.EXE bei ",
               ".\nThis is not a valid directory name.");
  ExpectReport(ErrorReportText(EInOutError(2), "SETUP.EXE"),
               "Exception EInOutError im Modul SETUP.EXE bei ", ".\nDatei nicht gefunden.");
}

TEST(ErrorReport, AddsThePeriodOnlyWhenMissing) {
  ExpectReport(ErrorReportText(EConvertError("Done."), "A"), "Exception EConvertError im Modul A bei ",
               ".\nDone.");
  ExpectReport(ErrorReportText(EConvertError(""), "A"), "Exception EConvertError im Modul A bei ",
               ".\n");
}

TEST(ErrorReport, CutsModuleNameAndWholeText) {
  const std::string longName(100, 'm');
  ExpectReport(ErrorReportText(Exception("x"), "C:\\" + longName),
               "Exception Exception im Modul " + longName.substr(0, 63) + " bei ", ".\nx.");
  const std::string report = ErrorReportText(Exception(std::string(400, 'q')), "A");
  EXPECT_EQ(report.size(), 255u);
  EXPECT_EQ(report.back(), 'q');
}

TEST(ErrorReport, Cp1252ToUtf8ForTerminals) {
  EXPECT_EQ(Cp1252ToUtf8("ge\xF6" "ffnet \xDC" "ber \xE4\xFC"), "ge\xC3\xB6" "ffnet \xC3\x9C" "ber \xC3\xA4\xC3\xBC");
  EXPECT_EQ(Cp1252ToUtf8("plain"), "plain");
}

}  // namespace
