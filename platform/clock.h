#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// A local civil date and time. Arithmetic on it is calendar arithmetic only:
// adding minutes carries into the next or an earlier day, and daylight
// saving plays no part.
struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// a / b rounded towards minus infinity; b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b);

// Whole minutes since 1 January 1970, 00:00 of the same calendar.
std::int64_t minutesSinceEpoch(const LocalDateTime& t);
// `t` moved by `minutes`, seconds and milliseconds kept.
LocalDateTime addMinutes(const LocalDateTime& t, std::int64_t minutes);

// "dd.mm.yyyy", as the window and the run's lines show a date.
std::string formatDayMonthYear(const LocalDateTime& t);
// "hh:nn", as the schedule displays and the run's lines show a time.
std::string formatHourMinute(int hour, int minute);
// "hh:nn:ss", as the window's clock shows the time.
std::string formatTimeOfDay(const LocalDateTime& t);

// The clock seam: local time and the time since the computer started.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() = 0;
  // Milliseconds since the computer started, sleep included.
  virtual std::uint64_t uptimeMilliseconds() = 0;
};

class SystemClock final : public Clock {
 public:
  LocalDateTime now() override;
  std::uint64_t uptimeMilliseconds() override;
};

// Seconds east of universal time, as the time zone says now.
long currentUtcOffset();

// The local date and time of a moment in seconds since 1970 (universal
// time), as the time zone says for that moment.
LocalDateTime localTimeOf(std::int64_t seconds);

}  // namespace tavro
