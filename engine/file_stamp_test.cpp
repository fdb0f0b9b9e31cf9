#include "engine/file_stamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>

namespace tavro {
namespace {

// Every offset is given, so the machine's own time zone plays no part.
class FileStampTest : public ::testing::Test {
 protected:
  static std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year(year) / month / day};
    return system_clock::to_time_t(date + hours(hour) + minutes(minute) + seconds(second));
  }

  // The MS-DOS stamp of a universal time at a given offset (date in the
  // upper 16 bits, time in the lower, seconds in steps of two): the
  // comparison the change key stands in for.
  static std::int64_t dosStampOf(std::time_t universal, long utcOffset) {
    const std::time_t shifted = universal + utcOffset;
    const std::tm t = *std::gmtime(&shifted);
    const std::uint32_t date = static_cast<std::uint32_t>(((t.tm_year + 1900 - 1980) << 9) |
                                                          ((t.tm_mon + 1) << 5) | t.tm_mday);
    const std::uint32_t time =
        static_cast<std::uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    return static_cast<std::int64_t>((date << 16) | time);
  }
};

TEST_F(FileStampTest, ChangeKeyMatchesStampEqualityAndExtendsBeyondRange) {
  const long offset = 3600;
  const std::time_t base = utc(2020, 6, 1, 12, 0, 0);
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 6; ++b) {
      const timespec ta{base + a, 0}, tb{base + b, 999999999};
      EXPECT_EQ(changeKey(ta, offset) == changeKey(tb, offset),
                dosStampOf(ta.tv_sec, offset) == dosStampOf(tb.tv_sec, offset));
    }
  }
  // Before 1980 and before 1970 the two-second steps go on.
  EXPECT_EQ(changeKey({100, 0}, 0), changeKey({101, 5}, 0));
  EXPECT_NE(changeKey({101, 0}, 0), changeKey({102, 0}, 0));
  EXPECT_EQ(changeKey({-3, 0}, 0), changeKey({-4, 0}, 0));
  EXPECT_NE(changeKey({-1, 0}, 0), changeKey({0, 0}, 0));
}

TEST_F(FileStampTest, AProbedTargetComparesTimesAsFinelyAsItKeepsThem) {
  const timespec set{1262340001, 123456789};
  EXPECT_EQ(TimePrecision::ofProbe(set, set).unit, 1);
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340001, 123456700}).unit, 100);  // NTFS
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340001, 123456000}).unit, 1000);
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340001, 0}).unit, 1000000000);
  // Rounded, or moved to another second (FAT): only the two-second steps.
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340001, 123457000}).unit, 0);
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340000, 0}).unit, 0);
  EXPECT_EQ(TimePrecision::ofProbe(set, {1262340002, 0}).unit, 0);

  const TimePrecision micro{1000};
  EXPECT_TRUE(micro.same({5, 123456789}, {5, 123456000}, 0));
  EXPECT_FALSE(micro.same({5, 123456789}, {5, 123455999}, 0));
  EXPECT_FALSE(micro.same({5, 1}, {6, 1}, 0));
  EXPECT_TRUE(TimePrecision{}.same({100, 0}, {101, 5}, 0));
}

}  // namespace
}  // namespace tavro
