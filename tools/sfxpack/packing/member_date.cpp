#include "tools/sfxpack/packing/member_date.h"

#include "tools/sfxpack/errors.h"
#include "tools/sfxpack/platform/date_text.h"

namespace {

// The earliest date a DOS date stamp, and so the installer's file dates, can hold.
const long double kDosEpoch = DayCountOf(1980, 1, 1, 0, 0, 0);

// A day count of UTC time: the convention for formats that store dates without a time zone,
// so that the cap gives the same bytes in every time zone.
long double CeilingDate(long long ceiling) { return DayCountOfUnixTime(ceiling); }

}  // namespace

long double TDatePolicy::MemberDate(const TSourceFileInfo& info) const {
  if (fixed) return *fixed;
  if (ceiling && info.unixTime > *ceiling) return CeilingDate(*ceiling);
  return info.dateTime;
}

long double TDatePolicy::EmptyInstallerDate() const {
  if (fixed) return *fixed;
  return ceiling ? CeilingDate(*ceiling) : kDosEpoch;
}

TDatePolicy DatePolicyOf(const std::string& dateOption, const std::string& sourceDateEpoch) {
  TDatePolicy policy;
  if (!dateOption.empty()) {
    long double date = 0;
    if (!ParseIsoDateTime(dateOption, date)) {
      throw EUsageError("--date needs a date such as 2026-12-01T10:15:02 (years 1980 to 2107), not '" +
                        dateOption + "'");
    }
    policy.fixed = date;
  }
  if (!sourceDateEpoch.empty()) {
    // 4354819199 is 2107-12-31T23:59:59, the last second a DOS date stamp holds.
    if (sourceDateEpoch.size() > 10 || sourceDateEpoch.find_first_not_of("0123456789") != std::string::npos ||
        std::stoll(sourceDateEpoch) > 4354819199LL) {
      throw EUsageError("SOURCE_DATE_EPOCH needs a number of seconds since 1970, not '" + sourceDateEpoch + "'");
    }
    policy.ceiling = std::stoll(sourceDateEpoch);
  }
  return policy;
}
