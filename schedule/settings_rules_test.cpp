#include "schedule/settings_rules.h"

#include <gtest/gtest.h>

namespace tavro {
namespace {

TEST(SettingsIntegerTest, AcceptsBlanksSignsDecimalAndHexadecimal) {
  EXPECT_EQ(parseSettingsInteger("2"), 2);
  EXPECT_EQ(parseSettingsInteger("  -5"), -5);
  EXPECT_EQ(parseSettingsInteger("+7"), 7);
  EXPECT_EQ(parseSettingsInteger("0x1"), 1);
  EXPECT_EQ(parseSettingsInteger("0XfF"), 255);
  EXPECT_EQ(parseSettingsInteger("$10"), 16);
  EXPECT_EQ(parseSettingsInteger("-$10"), -16);
  EXPECT_EQ(parseSettingsInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(parseSettingsInteger("2147483647"), 2147483647);
  EXPECT_EQ(parseSettingsInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(parseSettingsInteger("0x"), std::nullopt) << "needs more than two characters";
  EXPECT_EQ(parseSettingsInteger("0"), 0);
  for (const char* bad : {"", " ", "yes", "1 ", "1.5", "2147483648", "-2147483649", "$",
                          "$123456789", "0xg", "--1", "1e3"}) {
    EXPECT_EQ(parseSettingsInteger(bad), std::nullopt) << '"' << bad << '"';
  }
}

TEST(SettingsTimeTest, ParsesTheFormsTheSettingsFileMayHold) {
  const RegionalFormats f;
  EXPECT_EQ(parseTimeText("7:30", f), (TimeOfDay{7, 30, 0, 0}));
  EXPECT_EQ(parseTimeText("7:30 PM", f), (TimeOfDay{19, 30, 0, 0}));
  EXPECT_EQ(parseTimeText(" pm 7:30:15 ", f), (TimeOfDay{19, 30, 15, 0}));
  EXPECT_EQ(parseTimeText("12:00:00 AM", f), (TimeOfDay{0, 0, 0, 0}));
  EXPECT_EQ(parseTimeText("12:05 PM", f), (TimeOfDay{12, 5, 0, 0}));
  EXPECT_EQ(parseTimeText("23:59:59.250", f), (TimeOfDay{23, 59, 59, 250}));
  EXPECT_EQ(parseTimeText("07", f), (TimeOfDay{7, 0, 0, 0}));
}

TEST(SettingsTimeTest, RefusesHoursMinutesAndFormsOutOfRange) {
  const RegionalFormats f;
  for (const char* bad : {"25:00:00", "noon", "", "7:60", "7:30:60", "13:00 PM", "0:30 AM",
                          "7:30:00.1000", "7::30", "7:30:", "7,30", "-1:00"}) {
    EXPECT_EQ(parseTimeText(bad, f), std::nullopt) << '"' << bad << '"';
  }
}

TEST(SettingsTimeTest, TakesTheRegionalDesignatorsAndDecimalSeparator) {
  RegionalFormats czech;
  czech.am = "dop.";
  czech.pm = "odp.";
  czech.decimalSeparator = ',';
  EXPECT_EQ(parseTimeText("7:30 odp.", czech), (TimeOfDay{19, 30, 0, 0}));
  EXPECT_EQ(parseTimeText("7:30:00,5", czech), (TimeOfDay{7, 30, 0, 5}));
}

TEST(SettingsTimeTest, WritesTheRegionalLongTimeAndReadsItBack) {
  RegionalFormats noZero;
  noZero.hourLeadingZero = false;
  EXPECT_EQ(formatTimeText({7, 30, 0, 0}, noZero), "7:30:00");
  EXPECT_EQ(formatTimeText({0, 0, 0, 0}, noZero), "0:00:00");
  RegionalFormats twelve = noZero;
  twelve.twelveHour = true;
  EXPECT_EQ(formatTimeText({7, 30, 0, 0}, twelve), "7:30:00 AM");
  EXPECT_EQ(formatTimeText({0, 0, 0, 0}, twelve), "12:00:00 AM");
  EXPECT_EQ(formatTimeText({12, 0, 5, 0}, twelve), "12:00:05 PM");
  twelve.designatorAt = RegionalFormats::Designator::Before;
  twelve.am = "午前";
  twelve.pm = "午後";
  EXPECT_EQ(formatTimeText({15, 4, 0, 0}, twelve), "午後 3:04:00");
  for (int h = 0; h < 24; ++h) {
    for (const auto& f : {noZero, twelve, RegionalFormats{}}) {
      EXPECT_EQ(parseTimeText(formatTimeText({h, 59, 1, 0}, f), f), (TimeOfDay{h, 59, 1, 0}));
    }
  }
}

}  // namespace
}  // namespace tavro
