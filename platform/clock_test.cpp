#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "testing/real_system.h"

namespace tavro {
namespace {

TEST(ClockTest, AddingMinutesCarriesAcrossDaysMonthsYearsAndLeapDays) {
  const LocalDateTime t{2026, 12, 31, 23, 50, 17, 250};
  const LocalDateTime later = addMinutes(t, 30);
  EXPECT_EQ(later.year, 2027);
  EXPECT_EQ(later.month, 1);
  EXPECT_EQ(later.day, 1);
  EXPECT_EQ(later.hour, 0);
  EXPECT_EQ(later.minute, 20);
  EXPECT_EQ(later.second, 17);
  EXPECT_EQ(later.millisecond, 250);

  const LocalDateTime leap = addMinutes({2024, 3, 1, 0, 10, 0, 0}, -20);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_EQ(leap.hour, 23);
  EXPECT_EQ(leap.minute, 50);

  const LocalDateTime far = addMinutes(t, 2147483647LL);
  EXPECT_EQ(minutesSinceEpoch(far) - minutesSinceEpoch(t), 2147483647LL);
  EXPECT_EQ(minutesSinceEpoch({1970, 1, 1, 0, 0, 0, 0}), 0);
  EXPECT_EQ(minutesSinceEpoch({1969, 12, 31, 23, 59, 0, 0}), -1);
}

TEST(ClockTest, DatesAndTimesAreShownWithLeadingZeros) {
  EXPECT_EQ(formatDayMonthYear({2026, 3, 7, 9, 5}), "07.03.2026");
  EXPECT_EQ(formatHourMinute(7, 5), "07:05");
}

TEST(ClockTest, TheSystemClockGivesAPlausibleTimeAndUptime) {
  SystemClock clock;
  const LocalDateTime now = clock.now();
  EXPECT_GE(now.year, 2024);
  EXPECT_GT(clock.uptimeMilliseconds(), 0u);
}

TEST(ClockTest, TheOffsetFromUniversalTimeFollowsTheTimeZone) {
  ASSERT_EQ(testkit::setTimeZone("UTC0"), "");
  EXPECT_EQ(currentUtcOffset(), 0);
  ASSERT_EQ(testkit::setTimeZone("XST-5:30"), "");
  EXPECT_EQ(currentUtcOffset(), 5 * 3600 + 30 * 60);
  ASSERT_EQ(testkit::setTimeZone("YST7"), "");
  EXPECT_EQ(currentUtcOffset(), -7 * 3600);
  (void)testkit::setTimeZone(nullptr);
}

}  // namespace
}  // namespace tavro
