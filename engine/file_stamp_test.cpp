#include "engine/file_stamp.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/temp_tree.h"

namespace tavro {
namespace {

// Central European time, written out so the test needs no time-zone files.
constexpr const char* kPrague = "CET-1CEST,M3.5.0,M10.5.0/3";

class FileStampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", kPrague, 1);
    ::tzset();
  }
  void TearDown() override {
    ::unsetenv("TZ");
    ::tzset();
  }

  static std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
  }

  testing::TempTree tree;
  PosixFileSystem fs;
};

TEST_F(FileStampTest, EncodesLocalTimeInDosFields) {
  // 5 March 2006, 14:30:07 local time at one hour east of universal time.
  const FileStamp stamp = dosStampOf(utc(2006, 3, 5, 13, 30, 7), 3600);
  const std::uint32_t date = (26u << 9) | (3u << 5) | 5u;
  const std::uint32_t time = (14u << 11) | (30u << 5) | 3u;  // seconds in steps of two
  EXPECT_EQ(stamp, static_cast<FileStamp>((date << 16) | time));
}

TEST_F(FileStampTest, RangeIsYears1980To2107InLocalTime) {
  EXPECT_EQ(dosStampOf(utc(1979, 12, 31, 23, 59, 59), 0), kNoStamp);
  EXPECT_NE(dosStampOf(utc(1980, 1, 1, 0, 0, 0), 0), kNoStamp);
  // Universal 1979 is already 1980 an hour east.
  EXPECT_NE(dosStampOf(utc(1979, 12, 31, 23, 0, 0), 3600), kNoStamp);
  EXPECT_NE(dosStampOf(utc(2107, 12, 31, 23, 59, 59), 0), kNoStamp);
  EXPECT_EQ(dosStampOf(utc(2108, 1, 1, 0, 0, 0), 0), kNoStamp);
  EXPECT_EQ(dosStampOf(utc(2107, 12, 31, 23, 30, 0), 3600), kNoStamp);
}

TEST_F(FileStampTest, StampsRoundTripThroughTimeWithTheSameOffset) {
  for (long offset : {0L, 3600L, 7200L, -18000L, 19800L}) {
    for (std::time_t t = utc(1980, 1, 2, 0, 0, 0); t < utc(2107, 12, 30, 0, 0, 0);
         t += 7 * 86400 + 3 * 3600 + 17 * 60 + 13) {
      const FileStamp stamp = dosStampOf(t, offset);
      ASSERT_NE(stamp, kNoStamp) << t;
      const std::time_t back = timeOfDosStamp(stamp, offset);
      EXPECT_EQ(dosStampOf(back, offset), stamp) << t << " offset " << offset;
      EXPECT_EQ(back, t - ((t + offset) % 2 + 2) % 2) << "truncated to the two-second step";
    }
  }
}

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

TEST_F(FileStampTest, CurrentOffsetFollowsTheTimeZone) {
  ::setenv("TZ", "UTC0", 1);
  ::tzset();
  EXPECT_EQ(currentUtcOffset(), 0);
  ::setenv("TZ", "XST-5:30", 1);
  ::tzset();
  EXPECT_EQ(currentUtcOffset(), 5 * 3600 + 30 * 60);
}

TEST_F(FileStampTest, PathTestsTellFilesFromFolders) {
  tree.file("a.txt", "x");
  tree.setTime("a.txt", utc(2010, 1, 1, 10, 0, 0));
  tree.file("old.txt", "x");
  tree.setTime("old.txt", utc(1975, 1, 1, 10, 0, 0));
  tree.folder("dir");

  EXPECT_EQ(fileStamp(fs, tree.path("a.txt")), dosStampOf(utc(2010, 1, 1, 10, 0, 0), 3600));
  EXPECT_EQ(fileStamp(fs, tree.path("dir")), kNoStamp);
  EXPECT_EQ(fileStamp(fs, tree.path("none")), kNoStamp);
  EXPECT_EQ(fileStamp(fs, tree.path("old.txt")), kNoStamp);

  EXPECT_TRUE(fileExists(fs, tree.path("a.txt")));
  EXPECT_TRUE(fileExists(fs, tree.path("old.txt"))) << "a time out of range is still a file";
  EXPECT_FALSE(fileExists(fs, tree.path("dir")));
  EXPECT_FALSE(fileExists(fs, tree.path("none")));

  EXPECT_TRUE(folderExists(fs, tree.path("dir")));
  EXPECT_FALSE(folderExists(fs, tree.path("a.txt")));
  EXPECT_FALSE(folderExists(fs, tree.path("none")));
  EXPECT_FALSE(folderExists(fs, ""));
}

}  // namespace
}  // namespace tavro
