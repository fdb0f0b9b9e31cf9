#include "platform/regional_formats.h"

#include <cstdio>
#include <ctime>

namespace tavro {

// Each conversion on its own, so that "%-d" (the day without its leading
// zero, as glibc writes it) means the same where strftime does not know
// the "-" (Windows).
std::string formatShortDate(const LocalDateTime& t, const RegionalFormats& formats) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  const std::string& pattern = formats.shortDate;
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      text += pattern[i];
      continue;
    }
    const bool noZero = pattern[i + 1] == '-';
    std::size_t end = i + (noZero ? 2 : 1);
    // "%Ey", "%Od": a modifier and its conversion.
    if (end + 1 < pattern.size() && (pattern[end] == 'E' || pattern[end] == 'O')) ++end;
    if (end >= pattern.size()) break;
    const std::size_t start = i + (noZero ? 2 : 1);
    std::string one(1, '%');
    one.append(pattern, start, end + 1 - start);
    char buffer[128];
    std::string piece(buffer, std::strftime(buffer, sizeof buffer, one.c_str(), &tm));
    if (noZero) {
      while (piece.size() > 1 && piece.front() == '0') piece.erase(0, 1);
    }
    text += piece;
    i = end;
  }
  return text;
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
