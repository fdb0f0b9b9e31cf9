#include "engine/backup_run.h"

#include <algorithm>
#include <functional>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/program_paths.h"
#include "testing/fake_clock.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::_;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using testkit::FaultOp;

// The pairs a test runs, kept in a pair table as the program keeps them; the
// states go back to it by row.
class TableStates final : public PairStates {
 public:
  explicit TableStates(PairTable& table) : table_(table) {}
  bool record(std::size_t pair, const char* state) override {
    table_.setFieldTextAt(static_cast<int>(pair), Column::State, state);
    return true;
  }

 private:
  PairTable& table_;
};

class BackupRunTest : public ::testing::Test {
 protected:
  BackupRunTest() {
    clock.set(2026, 12, 9, 10, 0);
    options.readAhead = readAheadFromEnvironment();
    table.open();
    tree.folder("backup");
  }

  void addPair(const std::string& source, const std::string& target) {
    table.append();
    table.setFieldText("Src", source);
    table.setFieldText("Trg", target);
    table.post();
  }
  std::vector<std::string> states() const {
    std::vector<std::string> values;
    for (int i = 0; i < table.recordCount(); ++i) values.push_back(table.fieldTextAt(i, "Stav"));
    return values;
  }
  // The table's pairs through `run`; false when it refused to start.
  bool backUp(BackupRun& run) {
    std::vector<BackupPair> pairs;
    for (int i = 0; i < table.recordCount(); ++i) pairs.push_back(table.pairAt(i));
    TableStates states(table);
    result = run.backUp(pairs, options, states);
    return result.has_value();
  }
  bool backUp() { return backUp(backup); }
  const std::vector<std::string>& messages() const { return result->lines; }
  // The run's own events, without the single files' and the pumps.
  std::vector<std::string> runEvents() const {
    std::vector<std::string> picked;
    for (const auto& e : display.events) {
      for (const char* prefix : {"run ", "status ", "balloon ", "progress shown", "pair ",
                                 "last run", "progress hidden", "line ", "power "}) {
        if (e.rfind(prefix, 0) == 0) {
          picked.push_back(e);
          break;
        }
      }
    }
    return picked;
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  PairTable table{fs, tree.path("Tavro.csv")};
  testkit::RecordingDisplay display;
  testkit::FakeClock clock;
  RunOptions options;
  BackupRun backup{fs, display, clock};
  std::optional<RunResult> result;
};

TEST_F(BackupRunTest, TwoPairsShowThisSequenceAndEndOk) {
  tree.file("data/A/a.txt", "a");
  tree.file("data/B/b.txt", "b");
  const std::string a = tree.path("data/A"), b = tree.path("data/B"), t = tree.path("backup");
  addPair(a, t);
  addPair(b, t);

  ASSERT_TRUE(backUp());

  // What the window shows, in order; where the run lets the window's
  // messages through is the passes' own matter.
  std::vector<std::string> shown;
  for (const auto& e : display.events) {
    if (e != "pump") shown.push_back(e);
  }
  EXPECT_THAT(
      shown,
      ElementsAre("run started", "status Zálohuji data | Zálohuji data ...",
                  "balloon Tavro | Spuštěno automatické zálohování... | 1 | 10", "progress shown 2",
                  "pair 1/2 " + a + " -> " + t, "copy " + a + "/a.txt", "range 1", "progress 1",
                  "progress 0", "copied", "pair done 1", "line 09.12.202610:00- Záloha OK: " + a,
                  "pair 2/2 " + b + " -> " + t, "copy " + b + "/b.txt", "range 1", "progress 1",
                  "progress 0", "copied", "pair done 2", "line 09.12.202610:00- Záloha OK: " + b,
                  "last run 09.12.2026 10:00", "progress hidden",
                  "status Záloha provedena ... | Záloha OK .", "run finished"));
  EXPECT_EQ(tree.read("backup/A/a.txt"), "a");
  EXPECT_EQ(tree.read("backup/B/b.txt"), "b");
  EXPECT_THAT(states(), ElementsAre("OK", "OK"));
  EXPECT_THAT(messages(),
              ElementsAre("09.12.202610:00- Záloha OK: " + a, "09.12.202610:00- Záloha OK: " + b));
  EXPECT_FALSE(backup.inProgress());
}

TEST_F(BackupRunTest, AnEmptyTableStillEndsAsARun) {
  ASSERT_TRUE(backUp());
  EXPECT_THAT(runEvents(),
              ElementsAre("run started", "status Zálohuji data | Zálohuji data ...",
                          "balloon Tavro | Spuštěno automatické zálohování... | 1 | 10",
                          "progress shown 0", "last run 09.12.2026 10:00", "progress hidden",
                          "status Záloha provedena ... | Záloha OK .", "run finished"));
  EXPECT_THAT(messages(), IsEmpty());
}

TEST_F(BackupRunTest, ThePairFolderIsTheTargetAndTheSourcesLastName) {
  EXPECT_EQ(lastComponent("/data/Projekty"), "Projekty");
  EXPECT_EQ(lastComponent("/data/Projekty//"), "Projekty");
  EXPECT_EQ(lastComponent("Projekty"), "Projekty");
  EXPECT_EQ(lastComponent("/"), "");
  EXPECT_EQ(pairFolderOf("/data/Projekty", "/mnt/zaloha/"), "/mnt/zaloha//Projekty");
  EXPECT_EQ(pairFolderOf("/data/Projekty/", "/mnt/zaloha"), "/mnt/zaloha/Projekty");
}

TEST_F(BackupRunTest, APairWithFailuresIsMarkedAndTheRunSaysSo) {
  tree.file("data/A/a.txt", "a");
  tree.file("data/B/b.txt", "b");
  addPair(tree.path("data/A"), tree.path("backup"));
  addPair(tree.path("data/B"), tree.path("backup"));
  addPair(tree.path("data/C"), tree.path("backup"));
  tree.file("data/C/c.txt", "c");
  fs.fail(FaultOp::Open, tree.path("data/A/a.txt"), EACCES);
  fs.fail(FaultOp::Open, tree.path("data/C/c.txt"), EACCES);

  ASSERT_TRUE(backUp());

  const std::string failure = "Nelze zkopirovat: " + tree.path("data/A/a.txt") + " !!!";
  EXPECT_THAT(messages(),
              ElementsAre(failure, "09.12.202610:00- Záloha s chybami: " + tree.path("data/A"),
                          "09.12.202610:00- Záloha OK: " + tree.path("data/B"), _,
                          "09.12.202610:00- Záloha s chybami: " + tree.path("data/C")));
  EXPECT_THAT(states(), ElementsAre("Chyba", "OK", "Chyba"));
  EXPECT_TRUE(result->pairs[1].ok());
  EXPECT_THAT(result->pairs[2].failures,
              ElementsAre(Failure(FailureKind::NotCopied, tree.path("data/C/c.txt"))));
  EXPECT_THAT(display.events,
              Contains("status Záloha provedena s chybami ... | Záloha s chybami ."));
  // The warning names the first failed pair and its first line.
  EXPECT_EQ(display.events.back(), "balloon Tavro | Záloha s chybami: 2 z 3\n" +
                                       tree.path("data/A") + "\n" + failure +
                                       "\nDalší páry s chybami: 1 | 2 | 10");
  EXPECT_THAT(display.events, Contains("shown with failures"));
}

TEST_F(BackupRunTest, AnUnreadableSourceLeavesItsBackupUntouched) {
  tree.file("backup/gone/kept.txt", "precious");
  tree.file("data/locked/x.txt", "x");
  tree.file("backup/locked/old.txt", "old");
  addPair(tree.path("data/gone"), tree.path("backup"));  // an unplugged drive
  addPair(tree.path("data/locked"), tree.path("backup"));
  fs.fail(FaultOp::ListStart, tree.path("data/locked"), EIO);

  ASSERT_TRUE(backUp());

  EXPECT_THAT(messages(),
              ElementsAre("Nelze číst zdroj: " + tree.path("data/gone") + " !!!",
                          "09.12.202610:00- Záloha s chybami: " + tree.path("data/gone"),
                          "Nelze číst zdroj: " + tree.path("data/locked") + " !!!",
                          "09.12.202610:00- Záloha s chybami: " + tree.path("data/locked")));
  EXPECT_EQ(tree.read("backup/gone/kept.txt"), "precious");
  EXPECT_THAT(tree.listing("backup/locked"), ElementsAre("old.txt"));
  EXPECT_THAT(states(), ElementsAre("Chyba", "Chyba"));
  // The same as data, with the system's reasons, for whoever reports them.
  ASSERT_EQ(result->pairs.size(), 2u);
  EXPECT_EQ(result->pairs[0].source, tree.path("data/gone"));
  EXPECT_THAT(result->pairs[0].failures,
              ElementsAre(Failure(FailureKind::SourceUnreadable, tree.path("data/gone"), ENOENT)));
  EXPECT_THAT(result->pairs[1].failures,
              ElementsAre(Failure(FailureKind::SourceUnreadable, tree.path("data/locked"), EIO)));
  EXPECT_EQ(result->failedPairs, 2);
}

TEST_F(BackupRunTest, AnEmptyTargetOfAPairBackedUpBeforeIsADriveNotThere) {
  tree.file("data/docs/a.txt", "a");
  tree.folder("usb");  // the mount point, with the drive away
  tree.file("spare/other.txt", "o");
  addPair(tree.path("data/docs"), tree.path("usb"));
  addPair(tree.path("data/docs"), tree.path("spare"));
  for (int row : {0, 1}) table.setFieldTextAt(row, Column::State, "OK");
  ASSERT_TRUE(backUp());
  EXPECT_THAT(messages(),
              ElementsAre("Cíl není připojen: " + tree.path("usb") + " !!!",
                          "09.12.202610:00- Záloha s chybami: " + tree.path("data/docs"),
                          "09.12.202610:00- Záloha OK: " + tree.path("data/docs")));
  EXPECT_THAT(tree.listing("usb"), IsEmpty());
  EXPECT_THAT(states(), ElementsAre("Chyba", "OK"));

  // Whatever else the state says, an empty target is a first backup.
  for (const char* state : {"", "Neprovedeno", "Chyba"}) {
    table.setFieldTextAt(0, Column::State, state);
    ASSERT_TRUE(backUp());
    EXPECT_EQ(tree.read("usb/docs/a.txt"), "a") << state;
    tree.remove("usb/docs");
  }

  // A mount point of the system's table with nothing mounted there is
  // refused on a first backup, too (the loop's last run left "OK"). Windows
  // has no such table: a drive that is not there has no folder either.
#ifndef _WIN32
  table.setFieldTextAt(0, Column::State, "");
  tree.file("fstab", "/dev/sdb1 " + tree.path("usb") + " ext4 noauto 0 2\n");
  PosixFileSystem withTable(tree.path("fstab"));
  BackupRun first{withTable, display, clock};
  ASSERT_TRUE(backUp(first));
  EXPECT_EQ(messages().front(), "Cíl není připojen: " + tree.path("usb") + " !!!");
  EXPECT_THAT(tree.listing("usb"), IsEmpty());
#endif
}

TEST_F(BackupRunTest, AnIncompletePairIsNotRun) {
  addPair("", tree.path("backup"));
  addPair(tree.path("data"), "");
  ASSERT_TRUE(backUp());
  EXPECT_THAT(messages(), ElementsAre("Neúplný pár:  -> " + tree.path("backup") + " !!!",
                                      "09.12.202610:00- Záloha s chybami: ",
                                      "Neúplný pár: " + tree.path("data") + " ->  !!!",
                                      "09.12.202610:00- Záloha s chybami: " + tree.path("data")));
  EXPECT_THAT(tree.listing("backup"), IsEmpty());
}

TEST_F(BackupRunTest, PairsSharingAPairFolderKeepEachOthersBackups) {
  tree.file("x/docs/from-x.txt", "x");
  tree.file("y/docs/from-y.txt", "y");
  addPair(tree.path("x/docs"), tree.path("backup"));
  addPair(tree.path("y/docs"), tree.path("backup"));
  ASSERT_TRUE(backUp());
  EXPECT_THAT(tree.listing("backup/docs"), ElementsAre("from-x.txt", "from-y.txt"));
  const std::string skipped =
      "Výmaz vynechán, cíl sdílí jiný pár: " + tree.path("backup") + "/docs !!!";
  EXPECT_THAT(messages(), ElementsAre(skipped, ::testing::HasSubstr("s chybami"), skipped,
                                      ::testing::HasSubstr("s chybami")));
}

TEST_F(BackupRunTest, ASourceEndingInASlashIsMirroredAsWithoutIt) {
  tree.file("x/docs/d.txt", "d");
  tree.file("photos/p.jpg", "p");
  tree.file("backup/docs/stale.txt", "s");
  // Where such a pair once mirrored into the target itself: that backup and
  // the other folders of the target stay as they are.
  tree.file("backup/old.jpg", "o");
  tree.file("backup/unrelated/keep.txt", "k");
  addPair(tree.path("x/docs"), tree.path("backup"));
  addPair(tree.path("photos") + "//", tree.path("backup"));
  ASSERT_TRUE(backUp());
  EXPECT_THAT(states(), ElementsAre("OK", "OK"));
  EXPECT_THAT(tree.listing("backup"),
              ElementsAre("docs/", "docs/d.txt", "old.jpg", "photos/", "photos/p.jpg", "unrelated/",
                          "unrelated/keep.txt"));
}

TEST_F(BackupRunTest, APairOverlappingItsOwnSourceIsNotRun) {
  tree.file("s/file.txt", "f");
  tree.link("alias", tree.path("s"));
  addPair(tree.path("s"), tree.path("s/backup"));  // the pair folder inside the source
  addPair(tree.path("t/src"), tree.path("t"));     // the pair folder is the source
  addPair(tree.path("s"), tree.path("alias"));     // the same, through a link
  tree.file("t/src/keep.txt", "k");
  ASSERT_TRUE(backUp());
  for (const char* source : {"s", "t/src", "s"}) {
    EXPECT_THAT(messages(), Contains("Cíl a zdroj se překrývají: " + tree.path(source) + " !!!"));
  }
  EXPECT_THAT(states(), ElementsAre("Chyba", "Chyba", "Chyba"));
  EXPECT_THAT(tree.listing("s"), ElementsAre("file.txt"));
  EXPECT_TRUE(tree.exists("t/src/keep.txt"));
}

TEST_F(BackupRunTest, AnotherPairsSourceInsideThePairFolderIsNeverDeleted) {
  tree.file("p1/data/a.txt", "a");
  tree.file("t1/data/sub/mine.txt", "only here");
  tree.folder("t2");
  addPair(tree.path("p1/data"), tree.path("t1"));
  addPair(tree.path("t1/data/sub"), tree.path("t2"));
  ASSERT_TRUE(backUp());
  EXPECT_EQ(tree.read("t1/data/sub/mine.txt"), "only here");
  EXPECT_EQ(tree.read("t2/sub/mine.txt"), "only here");
  EXPECT_EQ(tree.read("t1/data/a.txt"), "a");
  EXPECT_THAT(messages(), Contains("Výmaz vynechán, cíl obsahuje zdroj jiného páru: " +
                                   tree.path("t1/data/sub") + " !!!"));
  EXPECT_THAT(states(), ElementsAre("Chyba", "OK"));
}

TEST_F(BackupRunTest, AnotherPairsSourceBoundIntoThePairFolderIsKnownByItsIdentity) {
  tree.file("p1/data/a.txt", "a");
  tree.file("photos/p.jpg", "only here");
  const std::string bound = tree.folder("t1/data/photos");
  if (auto why = testkit::bindMount(tree.path("photos"), bound); !why.empty()) GTEST_SKIP() << why;
  tree.folder("t2");
  addPair(tree.path("p1/data"), tree.path("t1"));
  addPair(tree.path("photos"), tree.path("t2"));
  ASSERT_TRUE(backUp());
  EXPECT_EQ(tree.read("photos/p.jpg"), "only here");
  EXPECT_EQ(tree.read("t2/photos/p.jpg"), "only here");
  EXPECT_THAT(messages(), Contains("Výmaz vynechán, cíl obsahuje zdroj jiného páru: " +
                                   tree.path("t1/data/photos") + " !!!"));
  EXPECT_EQ(testkit::unmount(bound), "");
}

TEST_F(BackupRunTest, PairsMeetingThroughALinkAndDotDotKeepEachOthersBackups) {
  if (const std::string whyNot = testkit::whyNoLinks(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.folder("b/c");
  tree.link("t/link", tree.path("b/c"));
  tree.file("x/docs/from-x.txt", "x");
  tree.file("y/docs/from-y.txt", "y");
  addPair(tree.path("x/docs"), tree.path("b"));
  addPair(tree.path("y/docs"), tree.path("t/link/.."));  // the system reads this as b
  ASSERT_TRUE(backUp());
  EXPECT_THAT(tree.listing("b/docs"), ElementsAre("from-x.txt", "from-y.txt"));
  EXPECT_THAT(states(), ElementsAre("Chyba", "Chyba"));
}

TEST_F(BackupRunTest, ControlCharactersInNamesCannotSplitOrForgeLines) {
  if (testkit::onWindows()) GTEST_SKIP() << "Windows allows no control characters in names";
  EXPECT_EQ(printableLine("a\nb\tc\x7f"
                          "\xc2\x85"
                          "d\xe2\x80\xa8"
                          "é\r"),
            "a?b?c??d?é?");
  const std::string name = "x\n09.12.202610:00- Záloha OK: \x1b[0m";
  tree.file("data/A/" + name, "x");
  fs.fail(FaultOp::Open, tree.path("data/A/" + name));
  addPair(tree.path("data/A"), tree.path("backup"));
  ASSERT_TRUE(backUp());
  EXPECT_THAT(messages(), ElementsAre("Nelze zkopirovat: " + tree.path("data/A") +
                                          "/x?09.12.202610:00- Záloha OK: ?[0m !!!",
                                      "09.12.202610:00- Záloha s chybami: " + tree.path("data/A")));
  EXPECT_THAT(display.lines, ElementsAre(messages()[0], messages()[1]));
}

TEST_F(BackupRunTest, ManyPairsKeepTheWindowAnsweringAndAStopEndsAfterThePairBeingRun) {
  // The user's signal arrives through the window's pump, as a SIGTERM does.
  struct StoppingDisplay : testkit::RecordingDisplay {
    BackupRun* run = nullptr;
    int done = 0;
    void pairFinished(int k) override {
      RecordingDisplay::pairFinished(k);
      done = k;
    }
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (done >= 300) run->requestStop();
    }
  } stopping;
  BackupRun stoppable{fs, stopping, clock};
  stopping.run = &stoppable;
  constexpr int kPairs = 2000;
  // Sources that are not there fail at once, without a pump of their own.
  for (int i = 0; i < kPairs; ++i)
    addPair(tree.path("gone/p" + std::to_string(i)), tree.path("backup"));

  ASSERT_TRUE(backUp(stoppable));

  const auto first = std::find_if(stopping.events.begin(), stopping.events.end(),
                                  [](const std::string& e) { return e.rfind("pair 1/", 0) == 0; });
  EXPECT_GE(std::count(stopping.events.begin(), first, "pump"), 2 * (kPairs / 256))
      << "the window is served while the table is prepared";
  EXPECT_GE(stopping.done, 300);
  EXPECT_LT(stopping.done, 600) << "the run stopped soon after the request";
  EXPECT_EQ(messages().back(), "Záloha přerušena ukončením programu !!!");
  EXPECT_TRUE(result->stopped);
  const auto recorded = states();
  EXPECT_EQ(std::count(recorded.begin(), recorded.end(), "Chyba"), stopping.done);
  EXPECT_EQ(std::count(recorded.begin(), recorded.end(), "Neprovedeno"), kPairs - stopping.done);
}

TEST_F(BackupRunTest, NoRunStartsInsideAnother) {
  struct NestingDisplay : testkit::RecordingDisplay {
    BackupRun* run = nullptr;
    std::function<bool()> retry;
    int refused = 0;
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (run != nullptr && run->inProgress() && !retry()) ++refused;
    }
  } nesting;
  BackupRun outer{fs, nesting, clock};
  nesting.run = &outer;
  nesting.retry = [&] { return backUp(outer); };
  tree.file("data/A/a.txt", "a");
  addPair(tree.path("data/A"), tree.path("backup"));
  ASSERT_TRUE(backUp(outer));
  EXPECT_GT(nesting.refused, 0);
  EXPECT_EQ(nesting.only("run started").size(), 1u);
  EXPECT_FALSE(outer.inProgress());
}

TEST_F(BackupRunTest, ClearingTheSyncBoxKeepsWhatTheSourceLost) {
  tree.file("data/A/a.txt", "a");
  tree.file("backup/A/old.txt", "old");
  addPair(tree.path("data/A"), tree.path("backup"));
  options.mirrorDeletions = false;
  ASSERT_TRUE(backUp());
  EXPECT_TRUE(tree.exists("backup/A/old.txt"));
  EXPECT_THAT(states(), ElementsAre("OK"));
  options.mirrorDeletions = true;
  ASSERT_TRUE(backUp());
  EXPECT_FALSE(tree.exists("backup/A/old.txt"));
}

TEST_F(BackupRunTest, PrerusitEndsThePairBeingRunAndLeavesTheRestUndone) {
  // The user presses "Přerušit" while pair 2 copies its large file.
  struct InterruptingDisplay : testkit::RecordingDisplay {
    BackupRun* run = nullptr;
    bool inSecondPair = false;
    void pairStarted(int k, int n, const std::string& source, const std::string& target) override {
      RecordingDisplay::pairStarted(k, n, source, target);
      inSecondPair = k == 2;
    }
    void fileGaugeProgress(int position) override {
      RecordingDisplay::fileGaugeProgress(position);
      if (inSecondPair && position > 0 && run != nullptr) {
        run->interrupt();
        run = nullptr;  // once
      }
    }
  } interrupting;
  BackupRun run{fs, interrupting, clock};
  interrupting.run = &run;
  tree.file("data/A/a.txt", "a");
  tree.file("data/B/big.bin", std::string(3 * 1024 * 1024, 'b'));
  tree.file("backup/B/gone.txt", "the source lost it");
  tree.file("data/C/c.txt", "c");
  const std::string a = tree.path("data/A"), b = tree.path("data/B"), c = tree.path("data/C");
  for (const auto& source : {a, b, c}) addPair(source, tree.path("backup"));

  ASSERT_TRUE(backUp(run));

  EXPECT_TRUE(result->interrupted);
  EXPECT_THAT(states(), ElementsAre("OK", "Přerušeno", "Neprovedeno"));
  EXPECT_THAT(messages(), ElementsAre("09.12.202610:00- Záloha OK: " + a,
                                      "09.12.202610:00- Záloha přerušena: " + b));
  EXPECT_THAT(tree.listing("backup/B"), ElementsAre("gone.txt"))
      << "no part of the file, and no deletion pass after the stop";
  EXPECT_FALSE(tree.exists("backup/C"));
  EXPECT_THAT(interrupting.only("status "),
              ElementsAre("status Zálohuji data | Zálohuji data ...",
                          "status Záloha přerušena ... | Záloha přerušena ."));
  EXPECT_THAT(interrupting.only("run finished"), ElementsAre("run finished"));
  EXPECT_THAT(interrupting.only("shown with failures"), ElementsAre("shown with failures"));
  EXPECT_THAT(interrupting.only("last run"), IsEmpty()) << "not a successful run";

  // The next run starts afresh.
  ASSERT_TRUE(backUp(run));
  EXPECT_FALSE(result->interrupted);
  EXPECT_THAT(interrupting.only("last run"), ElementsAre("last run 09.12.2026 10:00"));
  EXPECT_THAT(states(), ElementsAre("OK", "OK", "OK"));
  EXPECT_EQ(tree.read("backup/B/big.bin").size(), 3u * 1024 * 1024);
}

}  // namespace
}  // namespace tavro
