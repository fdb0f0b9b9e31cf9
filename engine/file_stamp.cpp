#include "engine/file_stamp.h"

#include "platform/clock.h"

namespace tavro {

long currentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

std::int64_t changeKey(const timespec& modified, long utcOffset) {
  return floorDiv(static_cast<std::int64_t>(modified.tv_sec) + utcOffset, 2);
}

}  // namespace tavro
