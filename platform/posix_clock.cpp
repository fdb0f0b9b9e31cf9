// The clock of Linux and the other POSIX systems.
#include <ctime>

#include "platform/clock.h"

namespace tavro {

LocalDateTime SystemClock::now() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(ts.tv_nsec / 1000000)};
}

std::uint64_t SystemClock::uptimeMilliseconds() {
  // CLOCK_BOOTTIME goes on while the computer sleeps, as the time since it
  // was started should.
  timespec ts{};
  ::clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000 +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000;
}

long currentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

LocalDateTime localTimeOf(std::int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return addMinutes(LocalDateTime{}, floorDiv(seconds, 60));
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tavro
