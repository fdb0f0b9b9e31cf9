#include "schedule/scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "schedule/settings.h"
#include "testing/fake_clock.h"
#include "testing/fake_settings_panel.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Drives the scheduler through days of one-second ticks against a settings
// file in a temporary folder. A run records its start, sets the flags as
// the backup run does and may last several minutes, ticking inside itself
// as the run's message pump would.
class SchedulerTest : public ::testing::Test {
 protected:
  SchedulerTest() { clock.set(2026, 12, 9, 10, 0, 0); }

  void startUp(const std::string& iniText = "") {
    if (!iniText.empty()) tree.file("Tavro.ini", "[Main]\n" + iniText);
    scheduler.startUp();
    settings.reread();
  }

  void tick() {
    clock.advanceSeconds(1);
    scheduler.tick();
  }
  void tickFor(std::int64_t seconds) {
    for (std::int64_t i = 0; i < seconds; ++i) tick();
  }

  static std::string stamp(const LocalDateTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d. %02d:%02d", t.day, t.month, t.hour, t.minute);
    return buffer;
  }

  void run() {
    runs.push_back(stamp(clock.now()));
    inRun = true;
    for (int i = 0; i < runSeconds; ++i) tick();  // ticks handled inside the run
    inRun = false;
    scheduler.runFinished();
  }

  testkit::TempTree tree;
  SystemFileSystem fs;
  ProfileFile file{fs, tree.path("Tavro.ini")};
  testkit::FakeSettingsPanel panel;
  RegionalFormats formats;
  testkit::FakeClock clock;
  std::vector<std::string> runs;
  int logs = 0;
  bool inRun = false;
  int runSeconds = 0;
  Scheduler scheduler{clock,
                      panel,
                      {[this] {
                         run();
                         ++logs;
                       },
                       [this] { return inRun; }, [this] { settings.reread(); }}};
  Settings settings{file, panel, scheduler, formats};
};

TEST_F(SchedulerTest, TheClockShowsOnEveryTick) {
  startUp();
  tick();
  EXPECT_EQ(panel.date, "09.12.2026");
  EXPECT_EQ(panel.time, "10:00:01");
}

TEST_F(SchedulerTest, FixedTimeAtMidnightRunsOnceEveryNight) {
  clock.set(2026, 12, 9, 22, 0, 0);
  startUp();
  tickFor(3 * 86400);
  EXPECT_THAT(runs, ElementsAre("10.12. 00:00", "11.12. 00:00", "12.12. 00:00"));
  EXPECT_EQ(logs, 3);
}

TEST_F(SchedulerTest, TheSettingsAreReReadAfterTheMinuteOfARun) {
  startUp("T=10:01:00\n");
  tickFor(60);  // into 10:01: the run
  ASSERT_THAT(runs, ElementsAre("09.12. 10:01"));
  // A change by hand during the run's minute is seen on the first tick after it.
  tree.file("Tavro.ini", "[Main]\nT=10:03:00\n");
  tickFor(59);
  EXPECT_EQ(scheduler.fixedTime().minute, 1);
  tickFor(1);
  EXPECT_EQ(scheduler.fixedTime().minute, 3);
  tickFor(120);
  EXPECT_THAT(runs, ElementsAre("09.12. 10:01", "09.12. 10:03"));
}

TEST_F(SchedulerTest, AfterStartCrossesMidnightAndThenRecursDaily) {
  clock.set(2026, 12, 9, 23, 55, 0);
  clock.uptime = 5 * 60 * 1000;  // started at 23:50
  startUp("TAS=1\nTNT=0\nTASmin=30\n");
  EXPECT_EQ(panel.eVarCas, "00:20");
  EXPECT_EQ(panel.modeShown, ScheduleMode::AfterStart);
  EXPECT_EQ(panel.eMin, "30");
  tickFor(2 * 86400);
  EXPECT_THAT(runs, ElementsAre("10.12. 00:20", "11.12. 00:20"));
}

TEST_F(SchedulerTest, AfterStartCountsUptimesOfManyDays) {
  clock.set(2026, 12, 9, 12, 0, 0);
  // Sixty days and five minutes: beyond a 32-bit count of milliseconds.
  clock.uptime = (60ULL * 1440 + 5) * 60 * 1000;
  startUp("TAS=1\nTNT=0\nTASmin=10\n");
  EXPECT_EQ(panel.eVarCas, "12:05");
  EXPECT_EQ(scheduler.nextRunTime().month, 10) << "the start time is a whole date, sixty days back";
  EXPECT_EQ(scheduler.nextRunTime().day, 10);
  tickFor(10 * 60);
  EXPECT_THAT(runs, ElementsAre("09.12. 12:05"));
}

TEST_F(SchedulerTest, RepeatCrossesMidnightEveryInterval) {
  clock.set(2026, 12, 9, 23, 50, 0);
  startUp("TAS=1\nTNT=1\nTNTmin=30\n");
  EXPECT_EQ(panel.eVarCas, "00:20");
  EXPECT_EQ(panel.modeShown, ScheduleMode::Repeat);
  tickFor(100 * 60);
  EXPECT_THAT(runs, ElementsAre("10.12. 00:20", "10.12. 00:50", "10.12. 01:20"));
  EXPECT_THAT(file.read("Main", "DZP", "?"), "1") << "each advance saves with a run recorded";
}

TEST_F(SchedulerTest, UlozitInTheMinuteOfARunStartsNoSecondRun) {
  startUp("TAS=1\nTNT=1\nTNTmin=5\n");
  tickFor(5 * 60 + 10);
  ASSERT_THAT(runs, ElementsAre("09.12. 10:05"));
  settings.save();
  EXPECT_EQ(panel.eVarCas, "10:10");
  tickFor(30);
  EXPECT_THAT(runs, ElementsAre("09.12. 10:05"));
}

TEST_F(SchedulerTest, IntervalsOfZeroAndWholeDaysRecurDailyAndNegativeOnesWaitADay) {
  for (const char* interval : {"0", "1440"}) {
    SCOPED_TRACE(interval);
    runs.clear();
    clock.set(2026, 12, 9, 10, 0, 30);
    startUp(std::string("TAS=1\nTNT=1\nTNTmin=") + interval + "\n");
    tickFor(2 * 86400);
    EXPECT_THAT(runs, ElementsAre("09.12. 10:00", "10.12. 10:00", "11.12. 10:00"));
  }
  runs.clear();
  clock.set(2026, 12, 9, 10, 0, 30);
  startUp("TAS=1\nTNT=1\nTNTmin=-30\n");
  EXPECT_EQ(panel.eVarCas, "09:30");
  tickFor(86400);
  EXPECT_THAT(runs, ElementsAre("10.12. 09:30"));
}

TEST_F(SchedulerTest, TickingTheIntervalBoxWithoutSavingComparesWithTheNextRunTime) {
  startUp("T=10:30:00\n");
  panel.shown.interval = true;  // never refreshed in an interval mode: 00:00
  clock.set(2026, 12, 9, 23, 59, 50);
  tickFor(20);
  EXPECT_THAT(runs, ElementsAre("10.12. 00:00"));
}

TEST_F(SchedulerTest, UnsavedClicksOnTheScheduleOptionsStartNothing) {
  clock.uptime = 60 * 60 * 1000;                    // started at 9:00
  startUp("TAS=1\nTNT=0\nTASmin=10\n");             // after start: 9:10, long past
  panel.shown.intervalMode = IntervalMode::Repeat;  // the repeat option clicked, not saved
  panel.shown.repeatMinutes = "1";
  tickFor(5 * 60);
  EXPECT_THAT(runs, IsEmpty());

  // A repeat schedule, then fixed mode saved, then the interval box ticked
  // without saving.
  startUp("TAS=1\nTNT=1\nTNTmin=1\n");
  tree.file("Tavro.ini", "[Main]\nT=23:00:00\nTAS=0\nTNT=1\nTNTmin=1\n");
  settings.reread();
  clock.set(2026, 12, 9, 11, 30, 0);
  panel.shown.interval = true;
  tickFor(5 * 60);
  EXPECT_THAT(runs, IsEmpty());
}

TEST_F(SchedulerTest, TicksDuringARunNeitherStartNorReReadAndTheRepeatScheduleKeepsItsSteps) {
  startUp("TAS=1\nTNT=1\nTNTmin=2\n");  // runs at 10:02, 10:04, ...
  runSeconds = 3 * 60;                  // each run lasts three minutes
  tickFor(2 * 60);
  ASSERT_THAT(runs, ElementsAre("09.12. 10:02"));
  EXPECT_EQ(clock.now().minute, 5) << "the run went on into 10:05";
  EXPECT_EQ(panel.eVarCas, "10:02") << "no re-read inside the run";
  tick();  // the first tick after the run and its log
  EXPECT_EQ(panel.eVarCas, "10:06") << "the first step of the schedule still ahead";
  runSeconds = 0;
  tickFor(60);
  EXPECT_THAT(runs, ElementsAre("09.12. 10:02", "09.12. 10:06"));
  EXPECT_EQ(logs, 2);
}

TEST_F(SchedulerTest, ARepeatScheduleThatSleptOverItsTimeGoesOnAtItsNextStep) {
  startUp("TAS=1\nTNT=1\nTNTmin=10\n");
  EXPECT_EQ(panel.eVarCas, "10:10");
  clock.set(2026, 12, 9, 10, 35, 0);  // the computer slept from 10:00 to 10:35
  tick();
  EXPECT_EQ(panel.eVarCas, "10:40");
  tickFor(6 * 60);
  EXPECT_THAT(runs, ElementsAre("09.12. 10:40"));
}

TEST_F(SchedulerTest, ABadMinuteFieldIsReportedOnceAndStartsNothingUntilSaved) {
  tree.file("Tavro.ini", "[Main]\nTAS=1\nTNT=1\nTNTmin=abc\n");
  scheduler.startUp();
  EXPECT_THROW(
      {
        try {
          settings.reread();
        } catch (const SettingsError& e) {
          EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
          throw;
        }
      },
      SettingsError);
  EXPECT_EQ(panel.eCas, "00:00") << "the re-read finished its other steps";
  int errors = 0;
  for (int i = 0; i < 2 * 3600; ++i) {
    try {
      tick();
    } catch (const SettingsError&) {
      ++errors;
    }
  }
  EXPECT_EQ(errors, 0);
  EXPECT_THAT(runs, IsEmpty());

  panel.shown.repeatMinutes = "15";
  settings.save();
  tickFor(15 * 60);
  EXPECT_EQ(runs.size(), 1u);
}

TEST_F(SchedulerTest, ABadAfterStartFieldStartsNoRunFromTheComputersStartTime) {
  clock.uptime = 0;  // started "now": the half-computed time would be 10:00
  tree.file("Tavro.ini", "[Main]\nTAS=1\nTNT=0\nTASmin=\n");
  scheduler.startUp();
  EXPECT_THROW(settings.reread(), SettingsError);
  tickFor(86400);
  EXPECT_THAT(runs, IsEmpty());
}

}  // namespace
}  // namespace tavro
