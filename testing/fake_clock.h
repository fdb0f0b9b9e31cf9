#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace tavro::testkit {

// A clock that stands still until the test moves it.
class FakeClock : public Clock {
 public:
  LocalDateTime now() override { return time; }
  std::uint64_t uptimeMilliseconds() override { return uptime; }

  void set(int year, int month, int day, int hour, int minute, int second = 0) {
    time = {year, month, day, hour, minute, second, 0};
  }
  // Moves both the time and the uptime on.
  void advanceSeconds(std::int64_t seconds) {
    const std::int64_t total = time.second + seconds;
    std::int64_t minutes = total / 60;
    std::int64_t rest = total % 60;
    if (rest < 0) {
      rest += 60;
      --minutes;
    }
    time = addMinutes(time, minutes);
    time.second = static_cast<int>(rest);
    uptime += static_cast<std::uint64_t>(seconds) * 1000;
  }

  LocalDateTime time;
  std::uint64_t uptime = 0;
};

}  // namespace tavro::testkit
