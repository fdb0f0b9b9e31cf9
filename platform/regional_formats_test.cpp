#include "platform/regional_formats.h"

#include <gtest/gtest.h>

#include <clocale>

#include "testing/real_system.h"

namespace tavro {
namespace {

TEST(RegionalFormatsTest, FormatsDatesAndTimesAsTheValueSays) {
  RegionalFormats f;
  f.shortDate = "%-d.%-m.%Y";
  f.hourLeadingZero = false;
  EXPECT_EQ(formatShortDate({2006, 12, 8, 0, 0, 0, 0}, f), "8.12.2006");
  EXPECT_EQ(formatLongTime(9, 7, 31, f), "9:07:31");
  f.shortDate = "%m/%d/%y";
  f.twelveHour = true;
  EXPECT_EQ(formatShortDate({2006, 3, 5, 0, 0, 0, 0}, f), "03/05/06");
  EXPECT_EQ(formatLongTime(0, 0, 0, f), "12:00:00 AM");
  EXPECT_EQ(formatLongTime(23, 59, 59, f), "11:59:59 PM");
}

TEST(RegionalFormatsTest, ThePosixLocaleGivesA24HourClock) {
  if (testkit::onWindows()) GTEST_SKIP() << "Windows takes its formats from the user's locale";
  const char* before = std::setlocale(LC_ALL, nullptr);
  const std::string saved = before ? before : "C";
  std::setlocale(LC_ALL, "C");
  const RegionalFormats f = RegionalFormats::fromLocale();
  EXPECT_FALSE(f.twelveHour);
  EXPECT_TRUE(f.hourLeadingZero);
  EXPECT_EQ(f.decimalSeparator, '.');
  EXPECT_EQ(formatShortDate({2006, 3, 5, 0, 0, 0, 0}, f), "03/05/06");
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace tavro
