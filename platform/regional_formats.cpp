#include "platform/regional_formats.h"

#include <cstdio>
#include <ctime>

namespace tavro {

std::string formatShortDate(const LocalDateTime& t, const RegionalFormats& formats) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  char buffer[128];
  const std::size_t n = std::strftime(buffer, sizeof buffer, formats.shortDate.c_str(), &tm);
  return std::string(buffer, n);
}

std::string formatLongTime(int hour, int minute, int second, const RegionalFormats& formats) {
  int shown = hour;
  if (formats.twelveHour) shown = hour % 12 == 0 ? 12 : hour % 12;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, formats.hourLeadingZero ? "%02d:%02d:%02d" : "%d:%02d:%02d",
                shown, minute, second);
  std::string text = buffer;
  if (formats.twelveHour) {
    const std::string& designator = hour < 12 ? formats.am : formats.pm;
    text = formats.designatorAt == RegionalFormats::Designator::Before ? designator + " " + text
                                                                       : text + " " + designator;
  }
  return text;
}

}  // namespace tavro
