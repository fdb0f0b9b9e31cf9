#include "schedule/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "schedule/scheduler.h"
#include "testing/fake_clock.h"
#include "testing/fake_settings_panel.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::HasSubstr;
using testkit::FaultOp;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    formats.hourLeadingZero = false;
    clock.set(2026, 12, 9, 10, 0);
  }

  // Start-up: the flags cleared, then the first re-read.
  void startUp() {
    scheduler.startUp();
    settings.reread();
  }
  std::string ini() const { return tree.read("Tavro.ini"); }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  ProfileFile file{fs, tree.path("Tavro.ini")};
  testkit::FakeSettingsPanel panel;
  RegionalFormats formats;
  testkit::FakeClock clock;
  Scheduler scheduler{clock, panel, {[] {}, [] { return false; }, [] {}}};
  Settings settings{file, panel, scheduler, formats};
};

TEST_F(SettingsTest, WorkedExampleUlozitCreatesTheFile) {
  panel.shown.fixedTime = {7, 30, 0, 0};
  panel.shown.repeatMinutes = "30";
  settings.save();
  EXPECT_EQ(ini(),
            "[Main]\nT=7:30:00\nTAS=0\nTASmin=10\nTNTmin=30\nAAZ=2\nTNT=0\nDZP=0\nSYNC=1\n"
            "HIST=30\n");
  EXPECT_EQ(panel.collapsed, 1);

  formats.twelveHour = true;
  Settings twelve(file, panel, scheduler, formats);
  twelve.write();
  EXPECT_THAT(ini(), HasSubstr("T=7:30:00 AM\n"));
}

// Every member away from its default: a key the writer forgets, or the
// reader takes from the wrong line, comes back different.
TEST_F(SettingsTest, EverySettingSurvivesAWriteAndARead) {
  SettingsValues values;
  values.fixedTime = {21, 5, 9, 0};
  values.interval = true;
  values.afterStartMinutes = "7";
  values.repeatMinutes = "45";
  values.afterRun = AfterRunAction::Suspend;
  values.intervalMode = IntervalMode::Repeat;
  values.backupRan = true;
  values.syncDeletions = false;
  values.historyDays = 0;
  ASSERT_TRUE(writeSettingsFile(file, values, formats).ok());
  EXPECT_EQ(readSettingsFile(file, formats), values);
}

TEST_F(SettingsTest, StartUpWithoutAFileRunsNightlyAndCreatesEveryKey) {
  startUp();
  EXPECT_EQ(ini(),
            "[Main]\nT=0:00:00\nTAS=0\nTASmin=10\nTNTmin=30\nAAZ=2\nTNT=0\nDZP=0\nSYNC=1\n"
            "HIST=30\n");
  EXPECT_EQ(scheduler.fixedTime(), TimeOfDay{});
  EXPECT_EQ(panel.eCas, "00:00");
  EXPECT_FALSE(panel.shown.interval);
  EXPECT_EQ(panel.shown.repeatMinutes, "30");
  EXPECT_EQ(panel.shown.afterRun, AfterRunAction::Nothing);
  EXPECT_EQ(panel.shown.intervalMode, IntervalMode::AfterStart);
  EXPECT_TRUE(panel.timeEditorVisible);
}

TEST_F(SettingsTest, ValuesAreReadByTheirRulesAndSavedBackNormalised) {
  tree.file("Tavro.ini",
            "; kept\n[other]\nT=1:00\n[main]\nt = 7:30 PM \nTAS=0x1\nTASmin=\nAAZ=-5\nTNT=3\n"
            "DZP=1\nSYNC=0\nHIST=99999\n");
  startUp();
  EXPECT_EQ(scheduler.fixedTime(), (TimeOfDay{19, 30, 0, 0}));
  EXPECT_TRUE(panel.shown.interval);
  EXPECT_FALSE(panel.timeEditorVisible) << "the click rule hides the fixed-time editor";
  EXPECT_EQ(panel.shown.afterStartMinutes, "") << "present but empty is not missing";
  EXPECT_EQ(panel.shown.repeatMinutes, "30");
  EXPECT_EQ(panel.shown.afterRun, AfterRunAction::NotChosen);
  EXPECT_EQ(panel.shown.intervalMode, IntervalMode::Repeat);
  EXPECT_FALSE(panel.shown.syncDeletions);
  EXPECT_EQ(panel.shown.historyDays, 3650);
  EXPECT_EQ(ini(),
            "; kept\n[other]\nT=1:00\n[main]\nT=19:30:00\nTAS=1\nTASmin=\nAAZ=-1\nTNT=1\n"
            "DZP=0\nSYNC=0\nHIST=3650\nTNTmin=30\n");

  // 0 turns versions off; what is not a number falls back to 30.
  for (const auto& [text, days] : {std::pair{"0", 0}, std::pair{"-4", 0}, std::pair{"x", 30}}) {
    tree.file("Tavro.ini", std::string("[Main]\nHIST=") + text + "\n");
    startUp();
    EXPECT_EQ(panel.shown.historyDays, days) << text;
  }
}

TEST_F(SettingsTest, UnreadableValuesFallBackToTheirDefaults) {
  struct Case {
    const char* text;
    TimeOfDay time;
    bool interval;
    int action;
  };
  for (const Case& c : {Case{"T=25:00:00\nTAS=yes\nAAZ=9\n", {}, false, 2},
                        Case{"T=noon\nTAS=2\nAAZ=x\n", {}, true, 2},
                        Case{"T=7:30\nTAS=0\nAAZ=1\n", {7, 30, 0, 0}, false, 1}}) {
    SCOPED_TRACE(c.text);
    tree.file("Tavro.ini", std::string("[Main]\n") + c.text);
    startUp();
    EXPECT_EQ(scheduler.fixedTime(), c.time);
    EXPECT_EQ(panel.shown.interval, c.interval);
    EXPECT_EQ(static_cast<int>(panel.shown.afterRun), c.action);
  }
}

TEST_F(SettingsTest, ASaveWritesAllKeysInOneReplacementOrNoneAtAll) {
  const std::string old = "[Main]\nT=5:00:00\nTAS=1\n";
  tree.file("Tavro.ini", old);
  fs.fail(FaultOp::Rename, tree.path("Tavro.ini"), EROFS);
  try {
    settings.write();
    ADD_FAILURE() << "the save should have failed";
  } catch (const SettingsError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + tree.path("Tavro.ini"));
  }
  EXPECT_EQ(ini(), old);

  // "Uložit" in repeat mode changes the next-run display, whose save finds
  // the file saying it all already: one replacement for the whole press.
  fs.clear();
  panel.shown.interval = true;
  panel.shown.intervalMode = IntervalMode::Repeat;
  fs.fail(FaultOp::Rename, tree.path("Tavro.ini"), EROFS, 1);
  settings.save();
  EXPECT_EQ(panel.eVarCas, "10:10");
  EXPECT_THAT(ini(), HasSubstr("TAS=1\nTASmin=10\nTNTmin=10\nAAZ=2\nTNT=1\nDZP=0\n"));
}

// Minutes the schedule could not read would greet every later start with an
// error: "Uložit" refuses them, saves nothing and leaves the panel open.
TEST_F(SettingsTest, UlozitRefusesMinutesThatAreNoWholeNumberOfAtLeastZero) {
  for (const char* minutes : {"-1", "abc", "", "1.5"}) {
    SCOPED_TRACE(minutes);
    panel.shown.repeatMinutes = minutes;
    try {
      settings.save();
      ADD_FAILURE() << "saved";
    } catch (const SettingsError& e) {
      EXPECT_STREQ(e.what(), kMinutesNotANumber);
    }
    EXPECT_FALSE(tree.exists("Tavro.ini"));
    EXPECT_EQ(panel.collapsed, 0);
  }
  panel.shown.repeatMinutes = "0";
  settings.save();
  EXPECT_THAT(ini(), HasSubstr("TNTmin=0\n"));
}

TEST_F(SettingsTest, ASettingsFileCutAtAnyByteReadsWithoutHarm) {
  const std::string whole =
      "[Main]\r\nT=7:30:00\r\nTAS=1\r\nTASmin=15\r\nTNTmin=45\r\nAAZ=0\r\nTNT=1\r\n";
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    tree.file("Tavro.ini", whole.substr(0, cut));
    fs.clear();
    fs.failUnder(FaultOp::Create, tree.root(), EROFS);  // read only: the start-up save fails
    scheduler.startUp();
    panel = testkit::FakeSettingsPanel{};
    EXPECT_THROW(settings.reread(), SettingsError);
    EXPECT_GE(static_cast<int>(panel.shown.afterRun), -1);
    EXPECT_LE(static_cast<int>(panel.shown.afterRun), 2);
  }
  fs.clear();
  tree.file("Tavro.ini", whole);
  panel = testkit::FakeSettingsPanel{};
  startUp();
  EXPECT_EQ(panel.shown.repeatMinutes, "45");
  EXPECT_THAT(ini(), HasSubstr("\r\nSYNC=1\r\n")) << "a new key follows the file's line ends";
}

}  // namespace
}  // namespace tavro
