#include "engine/restore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/history.h"
#include "engine/pair_mirror.h"
#include "platform/program_paths.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testkit::FaultOp;

constexpr std::time_t kDay1 = 1765000000;  // early December 2025
constexpr std::time_t kDay = 86400;

// A pair backed up by real runs on three days, their starts given by a fake
// clock: a.txt changes on each day, gone.txt is deleted on day 2, new.txt
// appears on day 3, sub/s.txt never changes.
class RestoreTest : public ::testing::Test {
 protected:
  RestoreTest() {
    options.run.historyDays = 3650;
    options.run.readAhead = readAheadFromEnvironment();
    tree.folder("backup");
    write("a.txt", "version 1", kDay1);
    write("gone.txt", "gone", kDay1);
    write("sub/s.txt", "same", kDay1);
    run(kDay1);
    write("a.txt", "version two", kDay1 + kDay);
    tree.remove("data/docs/gone.txt");
    run(kDay1 + kDay);
    write("a.txt", "version three!", kDay1 + 2 * kDay);
    write("new.txt", "new", kDay1 + 2 * kDay);
    run(kDay1 + 2 * kDay);
  }
  void write(const std::string& name, const std::string& text, std::time_t when) {
    tree.file("data/docs/" + name, text);
    tree.setTime("data/docs/" + name, when);
  }
  // A run an hour after the day's changes.
  void run(std::time_t day) {
    options.runStart = localTimeOf(day + 3600);
    runs.push_back(options.runStart);
    mirrorPair(fs, display, tree.path("data/docs"), tree.path("backup"), options);
    ASSERT_THAT(display.lines, IsEmpty());
  }
  std::map<std::string, std::string> files(const std::string& under) {
    std::map<std::string, std::string> found;
    for (const std::string& path : tree.listing(under)) {
      if (path.back() == '/') continue;
      found[path] = tree.read(under + "/" + path) + "@" +
                    std::to_string(real.stat(tree.path(under + "/" + path)).value.modified.tv_sec);
    }
    return found;
  }
  PairBackup backup() { return PairBackup(fs, tree.path("data/docs"), tree.path("backup")); }
  RestoreJob job(const RestorePoint& point, const std::string& relative,
                 const std::string& destination, const std::string& name) {
    PairBackup pair = backup();
    auto entries = pair.stateAt(point, relative);
    return {std::move(entries), pair.unreadable(), relative, tree.path(destination), name};
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  testkit::RecordingDisplay display;
  PairOptions options;
  std::vector<LocalDateTime> runs;
  const LocalDateTime now{2026, 12, 11, 9, 30, 0};
};

TEST_F(RestoreTest, EveryKeptVersionIsListedAndTheTreeAtAPointIsTheOneThen) {
  PairBackup pair = backup();
  const auto points = pair.points();
  ASSERT_EQ(points.size(), 3u);  // now, before day 3's run, before day 2's
  EXPECT_FALSE(points[0].before);
  EXPECT_EQ(historyStamp(*points[1].before), historyStamp(runs[2]));
  EXPECT_EQ(historyStamp(*points[2].before), historyStamp(runs[1]));

  const auto versions = pair.versions("a.txt");
  ASSERT_EQ(versions.size(), 3u);
  EXPECT_FALSE(versions[0].until);
  EXPECT_EQ(versions[0].size, 14);
  EXPECT_EQ(historyStamp(*versions[1].until), historyStamp(runs[2]));
  EXPECT_EQ(versions[1].size, 11);
  EXPECT_EQ(versions[2].size, 9);
  EXPECT_EQ(historyStamp(versions[2].modified), historyStamp(localTimeOf(kDay1)));
  EXPECT_THAT(pair.versions("../docs/a.txt"), IsEmpty());
  // Each version comes back from its point.
  const char* texts[] = {"version three!", "version two", "version 1"};
  for (int point = 0; point < 3; ++point) {
    const std::string into = "v" + std::to_string(point);
    tree.folder(into);
    const RestoreJob job{
        pair.stateAt(points[point], "a.txt"), {}, "a.txt", tree.path(into), "a.txt"};
    EXPECT_EQ(restore(fs, pair, job, RestoreMode::NeverReplace, now).restored, 1);
    EXPECT_EQ(tree.read(into + "/a.txt"), texts[point]);
  }

  auto paths = [&](const RestorePoint& point, const std::string& relative = "") {
    std::vector<std::string> found;
    for (auto entry : pair.stateAt(point, relative)) {
      std::replace(entry.path.begin(), entry.path.end(), preferredSeparator(), '/');
      found.push_back(entry.path);
    }
    return found;
  };
  EXPECT_THAT(paths(points[0]), ElementsAre("", "a.txt", "new.txt", "sub", "sub/s.txt"));
  // Before day 2: gone.txt back, new.txt not yet there, a.txt's first text.
  EXPECT_THAT(paths(points[2]), ElementsAre("", "a.txt", "gone.txt", "sub", "sub/s.txt"));
  EXPECT_THAT(paths(points[2], "gone.txt"), ElementsAre("gone.txt"));
  EXPECT_THAT(paths(points[1], "gone.txt"), IsEmpty());
  EXPECT_THAT(paths(points[1], "sub"), ElementsAre("sub", "sub/s.txt"));
}

TEST_F(RestoreTest, AFolderComesBackWholeElsewhereAndTheBackupKeepsEveryByte) {
  const auto before = files("backup");
  PairBackup pair = backup();
  const RestorePoint dayOne = pair.points()[2];
  tree.folder("elsewhere");
  const RestoreJob whole = job(dayOne, "", "elsewhere", "docs");
  EXPECT_THAT(filesToReplace(fs, whole), IsEmpty());
  int calls = 0;
  const auto report = restore(fs, pair, whole, RestoreMode::NeverReplace, now, [&](int, int) {
    ++calls;
    return true;
  });
  EXPECT_EQ(report.restored, 5);
  EXPECT_THAT(report.failed, IsEmpty());
  EXPECT_GE(calls, 5);
  const std::string t1 = "@" + std::to_string(kDay1);
  EXPECT_EQ(
      files("elsewhere/docs"),
      (std::map<std::string, std::string>{
          {"a.txt", "version 1" + t1}, {"gone.txt", "gone" + t1}, {"sub/s.txt", "same" + t1}}));
  EXPECT_EQ(files("backup"), before);
  // Nor into the backup itself, which it only reads.
  for (const char* inBackup : {"backup/docs", "backup/docs/sub", "backup/.tavro-historie/docs"}) {
    const auto refused =
        restore(fs, pair, job(dayOne, "", inBackup, "docs"), RestoreMode::NeverReplace, now);
    EXPECT_THAT(refused.failed, ElementsAre(tree.path(inBackup) + ": " + kDestinationInBackup));
  }
  EXPECT_EQ(files("backup"), before);

  // Again over a changed copy: nothing there is replaced.
  tree.file("elsewhere/docs/a.txt", "mine");
  const auto again = restore(fs, pair, whole, RestoreMode::NeverReplace, now);
  EXPECT_EQ(again.restored, 0);
  EXPECT_EQ(again.unchanged, 2);
  EXPECT_THAT(again.kept, ElementsAre(tree.path("elsewhere/docs/a.txt")));
  EXPECT_EQ(tree.read("elsewhere/docs/a.txt"), "mine");
  // What cannot be read is a failure, never a silent gap; and a tree of
  // more folders than stay open comes back whole.
  for (int run : {1, 2}) {
    fs.fail(FaultOp::ListStart, tree.path("backup/.tavro-historie/docs/" + historyStamp(runs[run])),
            EACCES);
  }
  const RestoreJob gap = job(dayOne, "", "elsewhere", "gap");
  EXPECT_EQ(gap.unreadable.size(), 2u);  // both run folders from that day on
  EXPECT_EQ(restore(fs, pair, gap, RestoreMode::NeverReplace, now).failed.size(), 2u);
  fs.failUnder(FaultOp::ListStart, tree.path("backup/.tavro-historie"), EACCES);
  EXPECT_EQ(job(dayOne, "", "elsewhere", "gap").unreadable.size(), 1u);  // the history itself
  fs.clear();
  for (int i = 0; i < 100; ++i) tree.file("backup/docs/many/" + std::to_string(i) + "/f", "f");
  const auto many = restore(fs, pair, job(RestorePoint{}, "many", "elsewhere", "many"),
                            RestoreMode::NeverReplace, now);
  EXPECT_EQ(many.restored, 201);
  EXPECT_THAT(many.failed, IsEmpty());
  EXPECT_EQ(restoredFolderName("docs", *dayOne.before),
            "docs (obnoveno " + historyStamp(runs[1]) + ")");
}

TEST_F(RestoreTest, ReplacingInTheSourceKeepsTheCurrentFileBesideIt) {
  PairBackup pair = backup();
  const RestoreJob a = job(pair.points()[1], "a.txt", "data/docs", "a.txt");
  EXPECT_THAT(filesToReplace(fs, a), ElementsAre(tree.path("data/docs/a.txt")));
  const auto report = restore(fs, pair, a, RestoreMode::ReplaceKeepingCurrent, now);
  EXPECT_EQ(report.restored, 1);
  EXPECT_EQ(tree.read("data/docs/a.txt"), "version two");
  EXPECT_EQ(tree.read("data/docs/a (před obnovou 2026-12-11 09.30.00).txt"), "version three!");
  EXPECT_THAT(report.kept,
              ElementsAre(tree.path("data/docs/a (před obnovou 2026-12-11 09.30.00).txt")));
  EXPECT_THAT(filesToReplace(fs, a), IsEmpty());  // now it is there as it was

  // A version that cannot take its place leaves the user's file where it
  // was, and no part-written copy behind.
  const RestoreJob first = job(pair.points()[2], "a.txt", "data/docs", "a.txt");
  fs.fail(FaultOp::Rename, tree.path("data/docs/a.txt"), EACCES, 1);
  const auto failed = restore(fs, pair, first, RestoreMode::ReplaceKeepingCurrent, now);
  EXPECT_EQ(failed.restored, 0);
  ASSERT_EQ(failed.failed.size(), 1u);
  EXPECT_EQ(tree.read("data/docs/a.txt"), "version two");
  fs.clear();
  fs.failUnder(FaultOp::Write, tree.path("data/docs"), ENOSPC);
  EXPECT_EQ(restore(fs, pair, first, RestoreMode::ReplaceKeepingCurrent, now).failed.size(), 1u);
  EXPECT_THAT(tree.listing("data/docs"),
              UnorderedElementsAre("a (před obnovou 2026-12-11 09.30.00).txt", "a.txt", "new.txt",
                                   "sub/", "sub/s.txt"));
}

}  // namespace
}  // namespace tavro
