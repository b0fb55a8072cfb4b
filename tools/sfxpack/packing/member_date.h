// The dates members are stored with. A member carries its file's modification time, unless
// --date gives every member one date, or SOURCE_DATE_EPOCH (seconds since 1970, UTC: the
// reproducible-builds convention) caps the date of every file modified after it. A checkout
// gives its files the time of the checkout; with the cap they pack to the same bytes as the
// files the release was made from.
#pragma once

#include <optional>
#include <string>

#include "tools/sfxpack/platform/tool_platform.h"

struct TDatePolicy {
  std::optional<long double> fixed;  // --date, as a day count
  std::optional<long long> ceiling;  // SOURCE_DATE_EPOCH

  long double MemberDate(const TSourceFileInfo& info) const;
  // The configuration member's date when there is no other member to take it from: never the
  // time of the run, which would make every run's bytes differ.
  long double EmptyInstallerDate() const;
};

// From the value of --date ("" when not given) and of SOURCE_DATE_EPOCH ("" when not set);
// raises EUsageError for either when it cannot be read.
TDatePolicy DatePolicyOf(const std::string& dateOption, const std::string& sourceDateEpoch);
