#include "program/window_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "program/preview_rows.h"
#include "schedule/plain_settings_panel.h"
#include "testing/fake_clock.h"
#include "testing/faulty_file_system.h"
#include "testing/recording_display.h"
#include "testing/recording_power.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

TEST(ErrorBoxTextTest, AFullStopEndsEveryMessageThatHasNoEndingOfItsOwn) {
  EXPECT_EQ(errorBoxText("Nelze zapsat do C:\\x"), "Nelze zapsat do C:\\x.");
  EXPECT_EQ(errorBoxText("Hotovo."), "Hotovo.");
  EXPECT_EQ(errorBoxText("Nelze !!!"), "Nelze !!!");
  EXPECT_EQ(errorBoxText("čas 7:"), "čas 7:.");
  // A letter outside ASCII sorts above "." as a character, not as a byte.
  EXPECT_EQ(errorBoxText("Nelze smazat soubor ž"), "Nelze smazat soubor ž.");
  EXPECT_EQ(errorBoxText(""), ".");
}

TEST(PreviewRowsTest, CellsGroupSizesAsCzechWritesThemAndMarkFolders) {
  const PlannedEntry file{Change::Changed, false, 1234567, "/data/a.txt"};
  EXPECT_EQ(previewCell(file, PreviewColumn::Kind), "změněné");
  EXPECT_EQ(previewCell(file, PreviewColumn::Size), "1\u00A0234\u00A0567");
  EXPECT_EQ(previewCell(file, PreviewColumn::Path), "/data/a.txt");
  EXPECT_EQ(previewCell({Change::New, false, 999, "b"}, PreviewColumn::Size), "999");
  EXPECT_EQ(previewCell({Change::New, false, 1000, "b"}, PreviewColumn::Size), "1\u00A0000");
  EXPECT_EQ(previewCell({Change::New, false, 0, "b"}, PreviewColumn::Size), "0");
  const PlannedEntry folder{Change::Deleted, true, 0, "/zaloha/stara"};
  EXPECT_EQ(previewCell(folder, PreviewColumn::Kind), "smazané");
  EXPECT_EQ(previewCell(folder, PreviewColumn::Size), "");
  EXPECT_EQ(previewCell(folder, PreviewColumn::Path), "/zaloha/stara/");
}

TEST(PreviewRowsTest, RowsFollowThePairsAndSortByEachColumn) {
  std::vector<PairPreview> pairs(2);
  pairs[0].plan.add(Change::Deleted, false, 5, "/b");
  pairs[1].plan.add(Change::New, false, 9, "/a");
  pairs[1].plan.add(Change::Changed, false, 1, "/c");
  const auto rows = previewRows(pairs);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]->path, "/b");
  EXPECT_EQ(rows[2]->path, "/c");
  EXPECT_TRUE(previewLess(*rows[1], *rows[0], PreviewColumn::Path));
  EXPECT_TRUE(previewLess(*rows[2], *rows[0], PreviewColumn::Size));
  EXPECT_TRUE(previewLess(*rows[1], *rows[2], PreviewColumn::Kind));
  EXPECT_FALSE(previewLess(*rows[0], *rows[0], PreviewColumn::Kind));
}

// The window program over a shell that records what it was asked: the
// rules of the one-time hide, the buttons' answers and the end that waits.
class WindowProgramTest : public ::testing::Test, public WindowShell, public FolderChooser {
 protected:
  WindowProgramTest() {
    clock.set(2026, 12, 9, 10, 0);
    tree.file("data/A/a.txt", "a");
    tree.folder("backup");
  }

  void showWarning(const std::string& message) override { said.push_back("warning " + message); }
  void showTable() override {}
  void setPairEditingEnabled(bool) override {}
  bool confirm(const std::string&) override { return false; }
  void showError(const std::string& message) override { said.push_back("error " + message); }
  bool hideToTray() override {
    said.push_back("hide");
    return trayThere;
  }
  void showTrayIcon() override { said.push_back("tray icon"); }
  void checkTray() override {}
  void showPairGauge(bool) override {}
  bool openLog(const std::string& path) override {
    said.push_back("open " + path);
    return false;
  }
  bool openFolder(const std::string&, std::function<void()>) override { return true; }
  bool boxOpen() const override { return boxShown; }
  void quit() override { said.push_back("quit"); }
  void showRestore(RestoreView& view) override {
    std::string shown = "restore " + std::to_string(view.points().size());
    for (const auto& row : view.rows()) shown += " " + row.path;
    said.push_back(shown);
    if (inRestore) inRestore(view);
  }
  std::function<void(RestoreView&)> inRestore;
  bool execute(const std::string&, const std::string&) override { return false; }
  std::string path() const override { return {}; }

  void start(bool withPair) {
    tree.file("Tavro.csv", withPair ? "SRC,TRG,STAV\r\n" + tree.path("data/A") + "," +
                                          tree.path("backup") + ",\r\n"
                                    : "SRC,TRG,STAV\r\n");
    ASSERT_TRUE(core.start());
  }
  int count(const std::string& what) const {
    return static_cast<int>(std::count(said.begin(), said.end(), what));
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::FakeClock clock;
  struct PumpingDisplay : testkit::RecordingDisplay {
    std::function<void()> onPump;
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (onPump) std::exchange(onPump, nullptr)();
    }
  } display;
  testkit::RecordingPower power{display.events};
  PlainSettingsPanel panel;
  std::vector<std::string> said;
  bool trayThere = true;
  bool boxShown = false;
  WindowProgram core{
      {fs, clock, power,
       ProgramPaths{tree.path("Tavro.ini"), tree.path("Tavro.log"), tree.path("Tavro.csv")},
       RegionalFormats{}},
      display,
      panel,
      *this,
      *this};
};

TEST_F(WindowProgramTest, TheFirstTickAfterTheWindowShowedHidesItOnce) {
  start(true);
  EXPECT_EQ(display.only("status ")[0],
            "status Čeká se na spuštění ... | Záloha zatím neprovedena ...");
  core.tick();  // under a start-up box, before the window showed
  EXPECT_EQ(count("hide"), 0);
  EXPECT_TRUE(core.windowShown());
  EXPECT_FALSE(core.windowShown()) << "only the first showing counts";
  for (int i = 0; i < 3; ++i) core.tick();
  EXPECT_EQ(count("hide"), 1);
  EXPECT_EQ(count("tray icon"), 1);
}

TEST_F(WindowProgramTest, AFirstStartWithNoPairKeepsTheWindowAndShowsTheIcon) {
  start(false);
  core.windowShown();
  core.tick();
  core.tick();
  EXPECT_EQ(count("hide"), 0);
  EXPECT_EQ(count("tray icon"), 1);
}

TEST_F(WindowProgramTest, ButtonsWithNothingToDoSaySoAndTheMissingTrayOnlyOnce) {
  start(false);
  trayThere = false;
  core.hide();
  core.hide();
  EXPECT_EQ(count("warning " + std::string(kNoTray)), 1);
  core.showLog();
  EXPECT_EQ(count("warning " + std::string(kNoLogYet)), 1);
  tree.file("Tavro.log", "x");
  core.showLog();
  EXPECT_EQ(said.back(), "error Přehled nelze zobrazit, žádný textový editor nelze spustit: " +
                             tree.path("Tavro.log"));
  core.showHistory();
  EXPECT_EQ(said.back(), "warning " + std::string(kNoPairChosen));
  core.restore();
  EXPECT_EQ(said.back(), "warning " + std::string(kNoPairChosen));
}

TEST_F(WindowProgramTest, RestoreOpensOnceThePairHasABackup) {
  start(true);
  core.restore();
  EXPECT_EQ(said.back(), "warning " + std::string(kNoBackupYet));
  core.backUpNow();
  core.restore();
  EXPECT_EQ(said.back(), "restore 1 a.txt");  // now only: no run kept anything yet

  // A scheduled run falling due while the restore copies waits for its end;
  // "Zálohuj ihned" (from the tray's menu) starts none then.
  tree.file("Tavro.ini", "[Main]\r\nT=10:02:00\r\nTAS=0\r\n");
  start(true);
  clock.set(2026, 12, 9, 10, 2);
  auto runs = [this] {
    const std::string log = tree.read("Tavro.log");
    return std::count(log.begin(), log.end(), '\n');
  };
  const auto before = runs();
  RestoreHooks hooks;
  hooks.chooseFolder = [this] { return std::optional<std::string>(tree.folder("restored")); };
  hooks.now = [this] { return clock.now(); };
  hooks.report = [](const std::string&, bool) {};
  hooks.progress = [this](int, int) {
    core.tick();
    core.backUpNow();
    return true;
  };
  inRestore = [&](RestoreView& view) {
    EXPECT_TRUE(view.restoreElsewhereAsking({}, hooks));
    EXPECT_EQ(runs(), before);
  };
  core.restore();
  EXPECT_TRUE(tree.exists("restored/A/a.txt"));
  core.tick();
  EXPECT_GT(runs(), before);

  // A source that is gone comes back whole into its place, with nothing to
  // ask about.
  tree.remove("data/A");
  int questions = 0;
  hooks.confirm = [&](const std::string&) { return ++questions, false; };
  inRestore = [&](RestoreView& view) { EXPECT_TRUE(view.restoreInPlaceAsking({}, hooks)); };
  core.restore();
  EXPECT_EQ(tree.read("data/A/a.txt"), "a");
  EXPECT_EQ(questions, 0);
}

TEST_F(WindowProgramTest, TheEndWaitsForTheMessageLoopAnOpenBoxAndARun) {
  start(true);
  core.requestEnd();  // under a start-up box: no loop to leave yet
  EXPECT_EQ(count("quit"), 0);
  boxShown = true;
  core.mainLoopStarted();
  EXPECT_EQ(count("quit"), 0) << "a box is open";
  boxShown = false;
  // Asked for again during a run: the run and its log entry come first.
  int quitsDuringRun = -1;
  display.onPump = [&] {
    core.requestEnd();
    quitsDuringRun = count("quit");
  };
  core.backUpNow();
  EXPECT_EQ(quitsDuringRun, 0);
  EXPECT_EQ(count("quit"), 1);
  EXPECT_TRUE(tree.exists("Tavro.log"));
  EXPECT_TRUE(core.isEnding());
  core.tick();
  EXPECT_EQ(count("quit"), 1) << "the end is asked for once";
}

}  // namespace
}  // namespace tavro
