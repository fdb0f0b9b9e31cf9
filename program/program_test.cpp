#include "program/program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "log/run_log.h"
#include "schedule/plain_settings_panel.h"
#include "testing/fake_clock.h"
#include "testing/faulty_file_system.h"
#include "testing/recording_display.h"
#include "testing/recording_power.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testkit::FaultOp;

// The program without any window: a recording display, the settings panel
// as fields, folders chosen from a list.
class ProgramTest : public ::testing::Test, public ProgramWindow, public FolderChooser {
 protected:
  ProgramTest() {
    clock.set(2026, 12, 9, 10, 0);
    tree.file("data/A/a.txt", "a");
    tree.file("data/B/b.txt", "b");
    tree.folder("backup");
  }

  void showWarning(const std::string& message) override { warnings.push_back(message); }
  void showTable() override {
    std::string shown;
    for (const std::string& state : states()) shown += state + ";";
    tablesShown.push_back(shown);
  }
  void setPairEditingEnabled(bool enabled) override { editing.push_back(enabled); }
  bool confirm(const std::string& question) override {
    questions.push_back(question);
    return answerYes;
  }
  bool execute(const std::string&, const std::string&) override {
    if (answers.empty()) return false;
    chosen = answers.front();
    answers.erase(answers.begin());
    return true;
  }
  std::string path() const override { return chosen; }

  void start(const std::string& csv) {
    if (!csv.empty()) tree.file("Tavro.csv", csv);
    program.readSettings();
    program.openPairTable();
  }
  std::string twoPairs() const {
    return "SRC,TRG,STAV\r\n" + tree.path("data/A") + "," + tree.path("backup") + ",\r\n" +
           tree.path("data/B") + "," + tree.path("backup") + ",\r\n";
  }
  std::vector<std::string> states() {
    std::vector<std::string> values;
    for (int i = 0; i < program.table().recordCount(); ++i) {
      values.push_back(program.table().fieldTextAt(i, Column::State));
    }
    return values;
  }
  int logEntries() const {
    if (!tree.exists("Tavro.log")) return 0;
    const std::string log = tree.read("Tavro.log");
    int entries = 0;
    for (std::size_t at = log.find(std::string(37, '-')); at != std::string::npos;
         at = log.find(std::string(37, '-'), at + 1)) {
      ++entries;
    }
    return entries;
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::FakeClock clock;
  testkit::RecordingDisplay display;
  testkit::RecordingPower power{display.events};
  PlainSettingsPanel panel;
  std::vector<std::string> warnings;
  std::vector<bool> editing;
  std::vector<std::string> questions;
  bool answerYes = false;
  std::vector<std::string> answers;
  std::string chosen;
  std::vector<std::string> tablesShown;  // the states column, each time the grid was refreshed
  Program program{
      {fs, clock, power,
       ProgramPaths{tree.path("Tavro.ini"), tree.path("Tavro.log"), tree.path("Tavro.csv")},
       RegionalFormats{}},
      display,
      panel,
      *this,
      *this};
};

TEST_F(ProgramTest, ADayOfTicksRunsTheFixedTimeOnceAndLogsIt) {
  tree.file("Tavro.ini", "[Main]\nT=10:30:00\n");
  start(twoPairs());
  for (int second = 0; second < 86400; ++second) {
    clock.advanceSeconds(1);
    program.tick();
  }
  EXPECT_EQ(display.only("run started").size(), 1u);
  EXPECT_EQ(logEntries(), 1);
  EXPECT_THAT(states(), ElementsAre("OK", "OK"));
  EXPECT_EQ(tree.read("backup/B/b.txt"), "b");
}

TEST_F(ProgramTest, BackingUpRecordsTheStatesTheLogTheFlagsAndThenTheAfterRunAction) {
  start(twoPairs());
  panel.shown.afterRun = AfterRunAction::ShutDown;
  ASSERT_TRUE(program.backUp());
  EXPECT_THAT(states(), ElementsAre("OK", "OK"));
  EXPECT_EQ(program.table().currentIndex(), 1) << "the cursor ends on the last row";
  EXPECT_TRUE(program.scheduler().advancePending());
  EXPECT_TRUE(program.scheduler().backupRan());
  EXPECT_EQ(logEntries(), 1);
  EXPECT_EQ(display.events.back(), "power shut down");
  EXPECT_EQ(display.events[display.events.size() - 2], "run finished");
  EXPECT_THAT(editing, ElementsAre(false, true)) << "no pair editing while the run lasts";
  EXPECT_THAT(program.lastRunLines(),
              ElementsAre("09.12.202610:00- Záloha OK: " + tree.path("data/A"),
                          "09.12.202610:00- Záloha OK: " + tree.path("data/B")));

  // The log entry is on the disk when the computer is asked to go down.
  struct CheckingPower : Power {
    std::function<bool()> logged;
    bool loggedFirst = false;
    void requestShutDown() override { loggedFirst = logged(); }
    void requestSuspend() override { loggedFirst = logged(); }
  } checking;
  checking.logged = [this] { return logEntries() == 2; };
  Program checked{
      {fs, clock, checking,
       ProgramPaths{tree.path("Tavro.ini"), tree.path("Tavro.log"), tree.path("Tavro.csv")},
       RegionalFormats{}},
      display,
      panel,
      *this,
      *this};
  checked.openPairTable();
  ASSERT_TRUE(checked.backUp());
  EXPECT_TRUE(checking.loggedFirst);
}

TEST_F(ProgramTest, TheAfterRunActionFollowsTheChoiceAndNotARunCutShort) {
  start(twoPairs());
  for (AfterRunAction action : {AfterRunAction::ShutDown, AfterRunAction::Suspend,
                                AfterRunAction::Nothing, AfterRunAction::NotChosen}) {
    SCOPED_TRACE(static_cast<int>(action));
    display.clear();
    panel.shown.afterRun = action;
    ASSERT_TRUE(program.backUp());
    if (action == AfterRunAction::ShutDown) {
      EXPECT_EQ(display.events.back(), "power shut down");
    } else if (action == AfterRunAction::Suspend) {
      EXPECT_EQ(display.events.back(), "power suspend");
    } else {
      EXPECT_THAT(display.only("power"), IsEmpty());
    }
  }
  // A run stopped because the program is ending, or by "Přerušit".
  struct StoppingDisplay : testkit::RecordingDisplay {
    Program* program = nullptr;
    void (Program::*cut)() = nullptr;
    void pairFinished(int k) override {
      RecordingDisplay::pairFinished(k);
      (program->*cut)();
    }
  };
  display.clear();
  panel.shown.afterRun = AfterRunAction::ShutDown;
  StoppingDisplay stopping;
  Program stopped{
      {fs, clock, power,
       ProgramPaths{tree.path("Tavro.ini"), tree.path("Tavro.log"), tree.path("Tavro.csv")},
       RegionalFormats{}},
      stopping,
      panel,
      *this,
      *this};
  stopping.program = &stopped;
  stopped.openPairTable();
  for (auto cut : {&Program::stopRun, &Program::interruptRun}) {
    stopping.cut = cut;
    ASSERT_TRUE(stopped.backUp());
    EXPECT_THAT(display.only("power"), IsEmpty()) << "no shut-down after a run cut short";
  }
}

// The log is written after the states; a log that cannot be written is
// reported, but only once the states are kept and the after-run action has
// followed, as for any finished run.
TEST_F(ProgramTest, ALogThatCannotBeWrittenIsReportedAfterEverythingElse) {
  start(twoPairs());
  panel.shown.afterRun = AfterRunAction::ShutDown;
  fs.fail(FaultOp::Write, tree.path("Tavro.log"), ENOSPC);
  EXPECT_THROW(program.backUp(), LogError);
  EXPECT_THAT(states(), ElementsAre("OK", "OK"));
  EXPECT_TRUE(program.scheduler().backupRan());
  EXPECT_EQ(display.events.back(), "power shut down");
}

TEST_F(ProgramTest, ATableErrorEndsTheRunWithoutFlagsOrLog) {
  // The table was never opened.
  EXPECT_THROW(program.backUp(), TableError);
  EXPECT_FALSE(program.runInProgress());
  EXPECT_FALSE(program.scheduler().backupRan());
  EXPECT_FALSE(program.scheduler().advancePending());
  EXPECT_THAT(display.events, Not(Contains("run finished")));
  EXPECT_EQ(logEntries(), 0);
}

TEST_F(ProgramTest, ARowThatCannotTakeItsStateIsStillRunAndSoAreTheOthers) {
  const std::string a = tree.path("data/A"), b = tree.path("data/B"), t = tree.path("backup");
  // An extra item of its own leaves no room in the line for any state.
  std::string longRow = a + "," + t + ",,";
  longRow += std::string(2045 - longRow.size(), 'x');
  start("SRC,TRG,STAV\r\n" + longRow + "\r\n" + b + "," + t + ",\r\n");

  ASSERT_TRUE(program.backUp());

  EXPECT_THAT(program.lastRunLines(), ElementsAre("Nelze zapsat stav: " + a + " !!!",
                                                  "09.12.202610:00- Záloha s chybami: " + a,
                                                  "09.12.202610:00- Záloha OK: " + b));
  EXPECT_EQ(tree.read("backup/A/a.txt"), "a");
  EXPECT_THAT(states(), ElementsAre("", "OK"));
}

TEST_F(ProgramTest, SavingWritesTheSettingsAndTheEndWritesThePairs) {
  start("");
  answers = {tree.path("data/A"), tree.path("backup")};
  program.addPair();
  EXPECT_THAT(tree.read("Tavro.csv"), HasSubstr(tree.path("data/A") + "," + tree.path("backup")));
  panel.shown.repeatMinutes = "45";
  panel.shown.interval = true;
  panel.shown.intervalMode = IntervalMode::Repeat;
  program.saveSettings();
  EXPECT_THAT(tree.read("Tavro.ini"), HasSubstr("TNTmin=45"));
  EXPECT_EQ(panel.eVarCas, "10:45");

  ASSERT_TRUE(program.backUp());
  program.end();
  EXPECT_THAT(tree.read("Tavro.csv"), HasSubstr(",OK\r\n"));
  EXPECT_FALSE(program.table().isOpen());
}

TEST_F(ProgramTest, LoadingTheSavedSettingsTakesEveryKeyAndWritesNothing) {
  // Away from every default, and a minutes value no refresh could read.
  const std::string ini =
      "[Main]\nT=7:30:15\nTAS=1\nTASmin=abc\nTNTmin=45\nAAZ=0\nTNT=1\nDZP=1\nSYNC=0\nHIST=3650\n";
  tree.file("Tavro.ini", ini);
  program.loadSettings();
  EXPECT_EQ(panel.shown.fixedTime, (TimeOfDay{7, 30, 15, 0}));
  EXPECT_TRUE(panel.shown.interval);
  EXPECT_EQ(panel.shown.afterStartMinutes, "abc");
  EXPECT_EQ(panel.shown.repeatMinutes, "45");
  EXPECT_EQ(panel.shown.afterRun, AfterRunAction::ShutDown);
  EXPECT_EQ(panel.shown.intervalMode, IntervalMode::Repeat);
  EXPECT_FALSE(panel.shown.syncDeletions);
  EXPECT_EQ(panel.shown.historyDays, 3650);
  EXPECT_EQ(tree.read("Tavro.ini"), ini);
}

TEST_F(ProgramTest, AUsersRunAsksBeforeTakingMostOfABackupAndAScheduledOneSkipsIt) {
  for (int i = 0; i < 30; ++i) tree.file("backup/A/f" + std::to_string(i), "x");
  start("SRC,TRG,STAV\r\n" + tree.path("data/A") + "," + tree.path("backup") + ",\r\n");
  // Counted against the backup as it was before a.txt was copied in.
  auto line = [&](int of) {
    return "Výmaz vynechán, zdroj přišel o 30 z " + std::to_string(of) +
           " souborů: " + tree.path("data/A") + " !!!";
  };
  ASSERT_TRUE(program.backUp());
  EXPECT_THAT(questions, IsEmpty()) << "nobody to ask at a scheduled run";
  EXPECT_THAT(program.lastRunLines(), Contains(line(30)));
  EXPECT_THAT(states(), ElementsAre("Chyba"));

  ASSERT_TRUE(program.backUp(RunStart::ByUser));
  EXPECT_THAT(questions, ElementsAre("Záloha smaže 30 z 31 souborů v " + tree.path("backup/A") +
                                     ". Pokračovat?"));
  EXPECT_THAT(program.lastRunLines(), Contains(line(31)));
  EXPECT_TRUE(tree.exists("backup/A/f0"));

  answerYes = true;
  ASSERT_TRUE(program.backUp(RunStart::ByUser));
  EXPECT_THAT(states(), ElementsAre("OK"));
  EXPECT_FALSE(tree.exists("backup/A/f0"));
  EXPECT_EQ(tree.read("backup/.tavro-historie/A/2026-12-09 10.00.00/f29"), "x")
      << "kept for the settings' 30 days";
}

// The grid is refreshed by the program alone: at the start, after each pair
// (before the pair's state is recorded, as the window always showed it), at
// the run's end, and after a pair command, even one whose write failed.
TEST_F(ProgramTest, TheGridIsShownWhereverTheTableChanges) {
  start(twoPairs());
  EXPECT_THAT(tablesShown, ElementsAre(";;"));
  tablesShown.clear();
  ASSERT_TRUE(program.backUp());
  EXPECT_THAT(tablesShown, ElementsAre("Neprovedeno;Neprovedeno;", "OK;Neprovedeno;", "OK;OK;"));

  tablesShown.clear();
  answers = {tree.path("data/B"), tree.path("backup")};
  fs.failUnder(FaultOp::Create, tree.root(), EROFS);
  EXPECT_THROW(program.addPair(), TableError);
  EXPECT_THAT(tablesShown, ElementsAre("OK;Neprovedeno;OK;"))
      << "the new pair goes in at the cursor, and the failed write still shows it";
}

}  // namespace
}  // namespace tavro
