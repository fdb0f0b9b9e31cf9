#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace tavro {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

}  // namespace

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t minutesSinceEpoch(const LocalDateTime& t) {
  return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
             1440 +
         t.hour * 60 + t.minute;
}

LocalDateTime addMinutes(const LocalDateTime& t, std::int64_t minutes) {
  const std::int64_t total = minutesSinceEpoch(t) + minutes;
  const std::int64_t days = floorDiv(total, 1440);
  const std::int64_t inDay = total - days * 1440;
  LocalDateTime result = t;
  civilFromDays(days, result.year, result.month, result.day);
  result.hour = static_cast<int>(inDay / 60);
  result.minute = static_cast<int>(inDay % 60);
  return result;
}

std::string formatDayMonthYear(const LocalDateTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", t.day, t.month, t.year);
  return buffer;
}

std::string formatHourMinute(int hour, int minute) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
  return buffer;
}

std::string formatTimeOfDay(const LocalDateTime& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buffer;
}

}  // namespace tavro
