#pragma once

#include <string>

#include "platform/clock.h"

namespace tavro {

// The user's regional date and time formats, read once from the locale.
// Times always use ":" between hours, minutes and seconds.
struct RegionalFormats {
  std::string shortDate = "%d.%m.%Y";  // a strftime pattern
  bool twelveHour = false;
  bool hourLeadingZero = true;
  enum class Designator { After /* "7:30:00 AM" */, Before /* "AM 7:30:00" */ };
  Designator designatorAt = Designator::After;
  std::string am = "AM";
  std::string pm = "PM";
  char decimalSeparator = '.';

  // From the current locale (setlocale must have run).
  static RegionalFormats fromLocale();
};

std::string formatShortDate(const LocalDateTime& t, const RegionalFormats& formats);
// Hours, minutes and seconds in the long time format.
std::string formatLongTime(int hour, int minute, int second, const RegionalFormats& formats);

}  // namespace tavro
