#include "engine/history.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/pair_mirror.h"
#include "platform/program_paths.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using testkit::FaultOp;

constexpr std::time_t kOld = 1262340000;  // 2010: every backup copy is outdated
const std::string kRun = ".tavro-historie/docs/2026-12-09 10.00.05";

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() {
    options.run.historyDays = 30;
    options.run.readAhead = readAheadFromEnvironment();
    options.runStart = LocalDateTime{2026, 12, 9, 10, 0, 5};
  }
  // A backup of data/docs that the source has since changed: a.txt was
  // rewritten, b.txt and the folder old/ were deleted.
  void changedSource() {
    tree.file("data/docs/a.txt", "new a");
    tree.file("data/docs/keep.txt", "keep");
    tree.file("backup/docs/a.txt", "old a");
    tree.setTime("backup/docs/a.txt", kOld);
    tree.file("backup/docs/keep.txt", "keep");
    tree.setTime("backup/docs/keep.txt", kOld);
    tree.setTime("data/docs/keep.txt", kOld);
    tree.file("backup/docs/b.txt", "b");
    tree.file("backup/docs/old/x.txt", "x");
    tree.file("backup/docs/old/deep/y.txt", "y");
  }
  void run(FileSystem& with) {
    display.clear();
    mirrorPair(with, display, tree.path("data/docs"), tree.path("backup"), options);
  }
  void run() { run(fs); }
  std::string at(const std::string& relative) const { return tree.path("backup/" + relative); }
  FileIndex inode(const std::string& relative) {
    return real.stat(tree.path(relative)).value.inode;
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::RecordingDisplay display;
  PairOptions options;
};

TEST_F(HistoryTest, WhatAnInterruptedCopyLeftIsRemovedNeverKeptAsAVersion) {
  changedSource();
  tree.file("backup/docs/.tavro-part.gone.bin", "cut short");
  tree.file("backup/docs/old/.tavro-part3.x.txt", "cut short");
  // The user's own file of such a name is backed up like any other.
  tree.file("data/docs/.tavro-part.mine", "mine");
  tree.file("backup/docs/.tavro-part.mine", "mine, older");
  tree.setTime("backup/docs/.tavro-part.mine", kOld);
  run();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_THAT(tree.listing("backup/docs"),
              UnorderedElementsAre(".tavro-part.mine", "a.txt", "keep.txt"));
  EXPECT_EQ(tree.read("backup/docs/.tavro-part.mine"), "mine");
  EXPECT_THAT(tree.listing("backup/" + kRun),
              UnorderedElementsAre(".tavro-part.mine", "a.txt", "b.txt", "old/", "old/deep/",
                                   "old/deep/y.txt", "old/x.txt"));
}

TEST_F(HistoryTest, WhatARunDeletesOrReplacesIsMovedIntoTheHistory) {
  changedSource();
  const FileIndex oldA = inode("backup/docs/a.txt");
  const FileIndex oldFolder = inode("backup/docs/old");
  run();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "new a");
  EXPECT_THAT(tree.listing("backup/docs"), UnorderedElementsAre("a.txt", "keep.txt"));
  EXPECT_EQ(tree.read("backup/" + kRun + "/a.txt"), "old a");
  EXPECT_EQ(inode("backup/" + kRun + "/a.txt"), oldA) << "the old copy itself, not a copy of it";
  EXPECT_EQ(tree.read("backup/" + kRun + "/b.txt"), "b");
  EXPECT_EQ(tree.read("backup/" + kRun + "/old/deep/y.txt"), "y");
  EXPECT_EQ(inode("backup/" + kRun + "/old"), oldFolder) << "a whole folder moves in one rename";
  EXPECT_THAT(
      tree.listing("backup/" + kRun),
      UnorderedElementsAre("a.txt", "b.txt", "old/", "old/deep/", "old/deep/y.txt", "old/x.txt"));

  // Off, the run deletes as before and leaves the history alone.
  options.run.historyDays = 0;
  tree.file("backup/docs/c.txt", "c");
  run();
  EXPECT_FALSE(tree.exists("backup/docs/c.txt"));
  EXPECT_EQ(tree.listing("backup/.tavro-historie/docs").size(), 7u);
}

TEST_F(HistoryTest, AMoveThatFailsKeepsTheEntryWithTheLineOfAFailedDeletion) {
  changedSource();
  fs.fail(FaultOp::Rename, at(kRun + "/b.txt"), ENOSPC);
  fs.fail(FaultOp::Rename, at(kRun + "/old"), ENOSPC);
  fs.fail(FaultOp::Rename, at(kRun + "/old/x.txt"), ENOSPC);
  fs.fail(FaultOp::Link, at(kRun + "/a.txt"), EPERM);
  fs.fail(FaultOp::Rename, at(kRun + "/a.txt"), ENOSPC);
  run();
  EXPECT_THAT(display.lines,
              UnorderedElementsAre("Nelze vymazat: " + at("docs/a.txt") + " !!!",
                                   "Nelze zkopirovat: " + tree.path("data/docs/a.txt") + " !!!",
                                   "Nelze smazat subor: " + at("docs/b.txt") + " !!!",
                                   "Nelze smazat subor: " + at("docs/old/x.txt") + " !!!"));
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "old a");
  EXPECT_EQ(tree.read("backup/docs/b.txt"), "b");
  EXPECT_EQ(tree.read("backup/docs/old/x.txt"), "x");
  EXPECT_EQ(tree.read(("backup/" + kRun + "/old/deep/y.txt")), "y")
      << "the rest of the folder went file by file";
  EXPECT_THAT(tree.listing("backup/docs"),
              UnorderedElementsAre("a.txt", "b.txt", "keep.txt", "old/", "old/x.txt"))
      << "no temporary copy stays";

  // Without hard links (vfat), the old copy moves before the new one comes.
  fs.clear();
  fs.fail(FaultOp::Link, at("docs/a.txt"), EPERM);
  options.runStart.second = 6;
  run();
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "new a");
  EXPECT_EQ(tree.read("backup/.tavro-historie/docs/2026-12-09 10.00.06/a.txt"), "old a");
}

TEST_F(HistoryTest, ACrashBetweenTheHistoryAndTheRenameLosesNothing) {
  changedSource();
  fs.crash(FaultOp::Rename, at("docs/a.txt"));
  EXPECT_THROW(run(), testkit::SimulatedCrash);
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "old a");
  EXPECT_EQ(tree.read("backup/" + kRun + "/a.txt"), "old a");

  fs.clear();
  options.runStart.minute = 5;
  run();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "new a");
  EXPECT_EQ(tree.read("backup/" + kRun + "/a.txt"), "old a");
  EXPECT_THAT(tree.listing("backup/docs"), UnorderedElementsAre("a.txt", "keep.txt"))
      << "the new copy written before the crash is no file of the backup";
}

TEST_F(HistoryTest, APairFolderOnAnotherFileSystemKeepsEverythingWithLines) {
  tree.folder("backup/docs");
  if (auto why = testkit::mountTmpfs(tree.path("backup/docs"), 1 << 20); !why.empty()) {
    GTEST_SKIP() << why;
  }
  changedSource();
  run(real);
  EXPECT_THAT(display.lines,
              UnorderedElementsAre("Nelze vymazat: " + at("docs/a.txt") + " !!!",
                                   "Nelze zkopirovat: " + tree.path("data/docs/a.txt") + " !!!",
                                   "Nelze smazat subor: " + at("docs/b.txt") + " !!!",
                                   "Nelze smazat subor: " + at("docs/old/x.txt") + " !!!",
                                   "Nelze smazat subor: " + at("docs/old/deep/y.txt") + " !!!"));
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "old a");
  EXPECT_EQ(tree.read("backup/docs/old/deep/y.txt"), "y");
  (void)testkit::unmount(tree.path("backup/docs"));
}

TEST_F(HistoryTest, AReadOnlyFolderKeepsItsFilesForAUser) {
  changedSource();
  tree.setMode("backup/docs/old", 0555);
  testkit::openPathToOthers(tree.path("data/docs"));
  for (const char* path : {"backup", "backup/docs", "backup/docs/a.txt", "backup/docs/b.txt",
                           "backup/docs/keep.txt", "backup/docs/old", "backup/docs/old/deep"}) {
    ASSERT_EQ(testkit::giveTo(tree.path(path), testkit::kNobody, testkit::kNobody), "");
  }
  std::string whyNot;
  const std::string lines = testkit::runAsNobody(
      [&] {
        SystemFileSystem plain;
        testkit::RecordingDisplay seen;
        mirrorPair(plain, seen, tree.path("data/docs"), tree.path("backup"), options);
        std::string all;
        for (const auto& line : seen.lines) all += line + "\n";
        return all;
      },
      &whyNot);
  if (!whyNot.empty()) GTEST_SKIP() << whyNot;
  // A folder moves to another parent only when it can be written itself;
  // its files then cannot leave it either, and stay, as they would stay
  // undeleted without versions.
  EXPECT_EQ(lines, "Nelze smazat subor: " + at("docs/old/x.txt") + " !!!\n");
  EXPECT_EQ(tree.read("backup/docs/old/x.txt"), "x");
  EXPECT_EQ(tree.read("backup/" + kRun + "/old/deep/y.txt"), "y");
  EXPECT_EQ(tree.read("backup/" + kRun + "/b.txt"), "b");
}

TEST_F(HistoryTest, OldRunFoldersGoAndFailuresWaitForTheNextRun) {
  tree.file("data/docs/a.txt", "a");
  tree.file("backup/.tavro-historie/docs/2026-11-01 10.00.00/sub/gone.txt", "38 days");
  tree.file("backup/.tavro-historie/docs/2026-11-20 10.00.00/kept.txt", "19 days");
  tree.file("backup/.tavro-historie/docs/poznámky/kept.txt", "no run folder");
  tree.file("backup/.tavro-historie/other/2020-01-01 00.00.00/kept.txt", "another pair's");
  const std::string old = at(".tavro-historie/docs/2026-11-01 10.00.00");
  fs.failUnder(FaultOp::Delete, old);
  run();
  EXPECT_THAT(display.lines, IsEmpty()) << "a failed removal never fails the pair";
  EXPECT_TRUE(tree.exists("backup/.tavro-historie/docs/2026-11-01 10.00.00/sub/gone.txt"));

  fs.clear();
  run();
  EXPECT_THAT(tree.listing("backup/.tavro-historie/docs"),
              UnorderedElementsAre("2026-11-20 10.00.00/", "2026-11-20 10.00.00/kept.txt",
                                   "poznámky/", "poznámky/kept.txt"));
  EXPECT_TRUE(tree.exists("backup/.tavro-historie/other/2020-01-01 00.00.00/kept.txt"));
}

TEST_F(HistoryTest, AWrongClockAgesNoVersion) {
  const std::string history = "backup/.tavro-historie/docs/";
  tree.file("data/docs/a.txt", "a");
  tree.file(history + "2026-11-20 10.00.00/v1.txt", "19 days");
  tree.file(history + "2026-12-01 10.00.00/v2.txt", "8 days");
  // Each run below but the first replaces a.txt, so each makes a run folder.
  auto runAt = [&](LocalDateTime when, const std::string& contents) {
    tree.file("data/docs/a.txt", contents);
    tree.setTime("data/docs/a.txt", kOld + static_cast<std::time_t>(contents.size()));
    options.runStart = when;
    run();
    EXPECT_THAT(display.lines, IsEmpty());
  };
  runAt({2026, 12, 9, 10, 0, 0}, "a2");

  // A clock far ahead takes nothing away, and the runs after it was put
  // right keep their order of names.
  runAt({2040, 1, 1, 0, 0, 0}, "a3__");
  runAt({2026, 12, 10, 8, 0, 0}, "a4____");
  EXPECT_THAT(tree.listing(history),
              IsSupersetOf({"2026-11-20 10.00.00/", "2026-12-01 10.00.00/", "2040-01-01 00.00.00/",
                            "2040-01-01 00.00.01/"}));
  EXPECT_EQ(tree.read(history + "2040-01-01 00.00.01/a.txt"), "a3__");

  // Versions made under a clock far behind age only from the first run with
  // the right one.
  tree.remove("backup/.tavro-historie");
  runAt({2000, 1, 1, 0, 0, 0}, "b1");
  runAt({2000, 1, 2, 0, 0, 0}, "b2__");
  runAt({2026, 12, 10, 8, 0, 0}, "b3____");
  runAt({2026, 12, 12, 8, 0, 0}, "b4________");
  EXPECT_THAT(tree.listing(history),
              IsSupersetOf({"2000-01-01 00.00.00/", "2000-01-02 00.00.00/", "2026-12-10 08.00.00/",
                            "2026-12-12 08.00.00/"}));
  // They go once they are older than the setting by the right clock.
  runAt({2027, 1, 9, 8, 0, 0}, "b5__________");
  EXPECT_THAT(tree.listing(history), Not(Contains("2000-01-01 00.00.00/")));
  EXPECT_THAT(tree.listing(history), Contains("2026-12-10 08.00.00/"));
}

TEST_F(HistoryTest, OnlyTheHistoryBesideThePairFoldersIsSpecial) {
  // The user's own folder of that name is mirrored like any other.
  tree.file("data/docs/.tavro-historie/notes.txt", "n");
  tree.file("data/docs/.tavro-historie/gone.txt", "g");
  tree.folder("backup");
  run();
  tree.remove("data/docs/.tavro-historie/gone.txt");
  options.runStart.second = 6;
  run();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_THAT(tree.listing("backup/docs"),
              ElementsAre(".tavro-historie/", ".tavro-historie/notes.txt"));
  EXPECT_EQ(tree.read("backup/.tavro-historie/docs/2026-12-09 10.00.06/.tavro-historie/gone.txt"),
            "g");

  // A pair whose folder would lie in a history, or be one, moves nothing.
  tree.file("data/.tavro-historie/a.txt", "a");
  tree.link("alias", tree.path("backup/.tavro-historie"));
  for (const auto& [source, target] :
       {std::pair{"data/.tavro-historie", "backup"}, std::pair{"data/docs", "alias"},
        std::pair{"data/docs", "backup/.tavro-historie"}}) {
    display.clear();
    mirrorPair(fs, display, tree.path(source), tree.path(target), options);
    EXPECT_THAT(display.lines, ElementsAre("Neplatný pár: " + tree.path(source) + " -> " +
                                           tree.path(target) + " !!!"));
  }
  EXPECT_EQ(tree.read("backup/.tavro-historie/docs/2026-12-09 10.00.06/.tavro-historie/gone.txt"),
            "g");
}

TEST(HistoryStampTest, RunFolderNamesReadBackAndNothingElseDoes) {
  const LocalDateTime t{2026, 3, 7, 9, 5, 1};
  EXPECT_EQ(historyStamp(t), "2026-03-07 09.05.01");
  const auto back = parseHistoryStamp("2026-03-07 09.05.01");
  ASSERT_TRUE(back);
  EXPECT_EQ(historyStamp(*back), "2026-03-07 09.05.01");
  for (const char* name : {"2026-03-07 09.05.0", "2026-03-07_09.05.01", "2026-13-07 09.05.01",
                           "2026-03-07 24.05.01", "x026-03-07 09.05.01", ""}) {
    EXPECT_FALSE(parseHistoryStamp(name)) << name;
  }
}

}  // namespace
}  // namespace tavro
