#include "engine/file_stamp.h"

#include "platform/clock.h"

namespace tavro {

std::int64_t changeKey(const timespec& modified, long utcOffset) {
  return floorDiv(static_cast<std::int64_t>(modified.tv_sec) + utcOffset, 2);
}

bool TimePrecision::same(const timespec& a, const timespec& b, long utcOffset) const {
  if (unit <= 0) return changeKey(a, utcOffset) == changeKey(b, utcOffset);
  return a.tv_sec == b.tv_sec && a.tv_nsec / unit == b.tv_nsec / unit;
}

TimePrecision TimePrecision::ofProbe(const timespec& set, const timespec& kept) {
  if (kept.tv_sec != set.tv_sec) return {};
  for (long unit = 1; unit <= 1000000000L; unit *= 10) {
    if (kept.tv_nsec == set.tv_nsec - set.tv_nsec % unit) return {unit};
  }
  return {};
}

}  // namespace tavro
