// The clock of Windows.
#include <windows.h>

#include <ctime>

#include "platform/clock.h"

namespace tavro {

LocalDateTime SystemClock::now() {
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  return {local.wYear,   local.wMonth,  local.wDay,         local.wHour,
          local.wMinute, local.wSecond, local.wMilliseconds};
}

// Counts on while the computer sleeps, as the time since it was started
// should.
std::uint64_t SystemClock::uptimeMilliseconds() { return ::GetTickCount64(); }

long currentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_s(&local, &now) != 0) return 0;
  // The local time read as if it were universal time, less the real one.
  return static_cast<long>(::_mkgmtime(&local) - now);
}

LocalDateTime localTimeOf(std::int64_t seconds) {
  const auto t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (::localtime_s(&local, &t) != 0) return addMinutes(LocalDateTime{}, floorDiv(seconds, 60));
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tavro
