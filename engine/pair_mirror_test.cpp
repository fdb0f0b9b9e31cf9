#include "engine/pair_mirror.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if __has_include(<sys/xattr.h>)
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

#include <cstdlib>
#include <functional>

#include "engine/tree_copy.h"
#include "platform/program_paths.h"
#include "testing/faulty_file_system.h"
#include "testing/real_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testkit::FaultOp;

// Calls `action` once, when the first file copy starts: a user or another
// program changing the target in the middle of a run.
struct InterruptingDisplay : testkit::RecordingDisplay {
  std::function<void()> action;
  void fileCopyStarted(const std::string& path) override {
    if (action) std::exchange(action, nullptr)();
    RecordingDisplay::fileCopyStarted(path);
  }
};

class PairMirrorTest : public ::testing::Test {
 protected:
  void run(const std::string& source, const std::string& target, PairOptions options = {}) {
    options.run.readAhead = readAheadFromEnvironment();
    mirrorPair(fs, display, tree.path(source), tree.path(target), options);
  }
  std::string failure(const std::string& text, const std::string& relative) const {
    return text + tree.path(relative) + " !!!";
  }

  testkit::TempTree tree;
  SystemFileSystem real;
  testkit::FaultyFileSystem fs{real};
  InterruptingDisplay display;
};

// A run sees a same-size rewrite as finely as the target keeps times:
// exactly where ext4 keeps nanoseconds, by the second on ext4 with small
// inodes, by two seconds on FAT. On none of them is an unchanged file
// copied again.
TEST_F(PairMirrorTest, ASameSizeRewriteIsSeenAsFinelyAsTheTargetKeepsTimes) {
  struct Target {
    std::string kind;
    bool seesHalfASecond;
    bool seesTheNextSecond;
  };
  constexpr std::time_t kEven = 1262340000;  // an even second
  std::string skipped;
  for (const Target& target :
       {Target{"", true, true}, Target{"ext4-128", false, true}, Target{"fat", false, false}}) {
    SCOPED_TRACE(target.kind);
    const std::string at = target.kind.empty() ? "backup" : "mnt-" + target.kind;
    tree.folder(at);
    if (!target.kind.empty()) {
      const std::string whyNot =
          testkit::mountImage(target.kind, tree.path(target.kind + ".img"), tree.path(at));
      if (!whyNot.empty()) {
        skipped += target.kind + ": " + whyNot + "; ";
        continue;
      }
    }
    auto backUp = [&](const std::string& contents, std::time_t seconds, long nanoseconds) {
      tree.file("data/docs/a.txt", contents);
      tree.setTime("data/docs/a.txt", seconds, nanoseconds);
      display.clear();
      run("data/docs", at);
      EXPECT_THAT(display.lines, IsEmpty());
      return tree.read(at + "/docs/a.txt");
    };
    EXPECT_EQ(backUp("aaaa", kEven, 100000000), "aaaa");
    EXPECT_EQ(backUp("bbbb", kEven, 600000000), target.seesHalfASecond ? "bbbb" : "aaaa");
    const std::string before = tree.read(at + "/docs/a.txt");
    EXPECT_EQ(backUp("cccc", kEven + 1, 200000000), target.seesTheNextSecond ? "cccc" : before);
    // Nor is anything set on an unchanged backup's folders, even where the
    // target keeps no modes or owners of its own. (The source folder's time
    // an hour before the runs: a run that moved its backup folder's time,
    // with a file of its own there, would be seen trying to set it back.)
    tree.setTime("data/docs", kEven - 3600, 0);
    run("data/docs", at);
    fs.failUnder(FaultOp::SetTime, tree.path(at));
    display.clear();
    run("data/docs", at);
    EXPECT_THAT(display.only("copy "), IsEmpty()) << "an unchanged file was copied again";
    EXPECT_THAT(display.lines, IsEmpty());
    fs.clear();
    if (!target.kind.empty()) {
      EXPECT_EQ(testkit::unmount(tree.path(at)), "");
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

#if __has_include(<sys/xattr.h>)
std::string attributeOf(const std::string& path, const char* name) {
  char value[512];
  const ssize_t n = ::lgetxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("-") : std::string(value, static_cast<std::size_t>(n));
}

UserId ownerOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_uid;
}

// Folders take their sources' permissions, owners, attributes and, once
// their contents are there, times; files their owners, attributes and
// access control lists. A target that holds none of these is silent about
// them; one that refuses them says so and keeps the copy.
TEST_F(PairMirrorTest, CopiesKeepPermissionsOwnersAttributesAndFolderTimes) {
  if (std::system("command -v setfacl >/dev/null") != 0) GTEST_SKIP() << "setfacl (acl) is missing";
  constexpr std::time_t kT = 1262340000;
  tree.file("data/docs/private/secret.txt", "s");
  tree.file("data/docs/shared/a.txt", "a");
  tree.link("data/docs/shared/l", "a.txt");
  ASSERT_EQ(
      ::lchown(tree.path("data/docs/shared/a.txt").c_str(), testkit::kNobody, testkit::kNobody), 0);
  ASSERT_EQ(::lchown(tree.path("data/docs/shared/l").c_str(), testkit::kNobody, testkit::kNobody),
            0);
  ASSERT_EQ(::setxattr(tree.path("data/docs/shared/a.txt").c_str(), "user.poznamka", "x", 1, 0), 0);
  ASSERT_EQ(std::system(("setfacl -m u:65534:rw '" + tree.path("data/docs/shared/a.txt") +
                         "' && setfacl -d -m u:65534:rx '" + tree.path("data/docs/shared") + "'")
                            .c_str()),
            0);
  tree.setMode("data/docs/private", 0700);
  tree.setTime("data/docs/private", kT + 1, 5);
  tree.setTime("data/docs/shared", kT + 2, 5);
  tree.setTime("data/docs", kT + 3, 5);
  const std::string acl =
      attributeOf(tree.path("data/docs/shared/a.txt"), "system.posix_acl_access");
  const std::string defaults =
      attributeOf(tree.path("data/docs/shared"), "system.posix_acl_default");

  std::string skipped;
  for (const std::string kind : {"tmpfs", "ramfs"}) {
    SCOPED_TRACE(kind);
    const std::string at = "on-" + kind;
    tree.folder(at);
    const std::string whyNot = kind == "tmpfs" ? testkit::mountTmpfs(tree.path(at), 1 << 20)
                                               : testkit::mountRamfs(tree.path(at));
    if (!whyNot.empty()) {
      skipped += whyNot + "; ";
      continue;
    }
    display.clear();
    run("data/docs", at);
    EXPECT_THAT(display.lines, IsEmpty());
    const std::string copy = at + "/docs";
    EXPECT_EQ(tree.mode(copy + "/private"), 0700u);
    for (const auto& [folder, time] :
         {std::pair{"", kT + 3}, std::pair{"/private", kT + 1}, std::pair{"/shared", kT + 2}}) {
      EXPECT_EQ(tree.time(copy + folder).tv_sec, time) << folder;
    }
    EXPECT_EQ(ownerOf(tree.path(copy + "/shared/a.txt")), testkit::kNobody);
    EXPECT_EQ(ownerOf(tree.path(copy + "/shared/l")), testkit::kNobody);
    const bool holdsAttributes = kind == "tmpfs";
    EXPECT_EQ(attributeOf(tree.path(copy + "/shared/a.txt"), "user.poznamka"),
              holdsAttributes ? "x" : "-");
    EXPECT_EQ(attributeOf(tree.path(copy + "/shared/a.txt"), "system.posix_acl_access"),
              holdsAttributes ? acl : "-");
    EXPECT_EQ(attributeOf(tree.path(copy + "/shared"), "system.posix_acl_default"),
              holdsAttributes ? defaults : "-");

    // What the deletion pass removes leaves the folder's time as it was.
    tree.file(copy + "/shared/gone.txt", "g");
    display.clear();
    run("data/docs", at);
    EXPECT_FALSE(tree.exists(copy + "/shared/gone.txt"));
    EXPECT_EQ(tree.time(copy + "/shared").tv_sec, kT + 2);
  }

  // A target that refuses them for one file: a line, and the copy stays.
  tree.file("data/docs/shared/b.txt", "b");
  fs.failUnder(FaultOp::Attributes, tree.path("on-tmpfs/docs/shared"), EIO);
  display.clear();
  run("data/docs", "on-tmpfs");
  EXPECT_THAT(display.lines,
              ElementsAre(failure("Nelze zkopírovat atributy: ", "data/docs/shared/b.txt")));
  EXPECT_EQ(tree.read("on-tmpfs/docs/shared/b.txt"), "b");
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}
#else
TEST_F(PairMirrorTest, CopiesKeepPermissionsOwnersAttributesAndFolderTimes) {
  GTEST_SKIP() << "Windows keeps no owners by number, extended attributes or POSIX access "
                  "control lists";
}
#endif

TEST_F(PairMirrorTest, AnEmptySourceOverAFullBackupIsCopiedButNothingIsDeleted) {
  tree.folder("data/docs");
  tree.file("backup/docs/a.txt", "a");
  run("data/docs", "backup");
  EXPECT_THAT(display.lines,
              ElementsAre(failure("Zdroj je prázdný, výmaz vynechán: ", "data/docs")));
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "a");

  // Over an empty pair folder there is nothing to keep, and no line.
  tree.remove("backup/docs/a.txt");
  display.clear();
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(PairMirrorTest, AnUnmountedSourceDriveLeavesItsBackup) {
  const std::string drive = tree.folder("media/usb");
  if (auto why = testkit::mountTmpfs(drive, 1 << 20); !why.empty()) GTEST_SKIP() << why;
  tree.file("media/usb/photos/p.jpg", "p");
  tree.file("media/usb/notes.txt", "n");
  tree.folder("backup");
  run("media/usb", "backup");
  ASSERT_THAT(display.lines, IsEmpty());
  ASSERT_EQ(tree.read("backup/usb/photos/p.jpg"), "p");

  ASSERT_EQ(testkit::unmount(drive), "");
  display.clear();
  run("media/usb", "backup");
  EXPECT_THAT(display.lines,
              ElementsAre(failure("Zdroj je prázdný, výmaz vynechán: ", "media/usb")));
  EXPECT_THAT(tree.listing("backup/usb"), ElementsAre("notes.txt", "photos/", "photos/p.jpg"));
}

TEST_F(PairMirrorTest, ASourceEndingInDotOrDotDotIsNoPairAndTouchesNothing) {
  tree.file("data/x/a.txt", "a");
  tree.file("backup/keep.txt", "k");
  tree.file("beside/keep.txt", "k");
  for (const char* source : {"data/x/..", "data/x/.", "data/.."}) {
    SCOPED_TRACE(source);
    display.clear();
    run(source, "backup");
    EXPECT_THAT(display.lines, ElementsAre("Neplatný pár: " + tree.path(source) + " -> " +
                                           tree.path("backup") + " !!!"));
  }
  EXPECT_THAT(tree.listing("backup"), ElementsAre("keep.txt"));
  EXPECT_THAT(tree.listing("beside"), ElementsAre("keep.txt"));
  EXPECT_TRUE(tree.exists("data/x/a.txt"));
}

TEST_F(PairMirrorTest, AMissingTargetIsNeverCreated) {
  tree.file("data/docs/a.txt", "a");
  run("data/docs", "usb/backup");
  EXPECT_THAT(display.lines, ElementsAre(failure("Cíl neexistuje: ", "usb/backup")));
  EXPECT_FALSE(tree.exists("usb"));

  tree.file("usb", "a file where the drive was");
  display.clear();
  run("data/docs", "usb");
  EXPECT_THAT(display.lines, ElementsAre(failure("Cíl neexistuje: ", "usb")));
  EXPECT_EQ(tree.read("usb"), "a file where the drive was");
}

TEST_F(PairMirrorTest, APairFolderThatIsALinkFailsThePair) {
  tree.file("data/docs/a.txt", "a");
  tree.file("elsewhere/precious.txt", "p");
  tree.link("backup/docs", tree.path("elsewhere"));
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, ElementsAre("Neplatný pár: " + tree.path("data/docs") + " -> " +
                                         tree.path("backup") + " !!!"));
  EXPECT_THAT(tree.listing("elsewhere"), ElementsAre("precious.txt"));
  EXPECT_TRUE(tree.isLink("backup/docs"));
}

TEST_F(PairMirrorTest, APairFolderSwappedForALinkDuringTheRunLeadsNowhere) {
  for (int i = 0; i < 20; ++i) tree.file("data/docs/f" + std::to_string(i), "new");
  tree.file("backup/docs/stale.txt", "s");
  tree.file("elsewhere/precious.txt", "p");
  display.action = [&] {
    ASSERT_EQ(::rename(tree.path("backup/docs").c_str(), tree.path("backup/docs.moved").c_str()),
              0);
    tree.link("backup/docs", tree.path("elsewhere"));
  };
  run("data/docs", "backup");
  EXPECT_THAT(tree.listing("elsewhere"), ElementsAre("precious.txt"));
  // Wine keeps an open folder by its name, not by what it is: after the
  // swap it finds the copies' names no more, and they stay unfinished
  // (Windows itself goes on as Linux does). Nothing reaches the link's place.
  if (testkit::onWindows()) return;
  EXPECT_EQ(tree.listing("backup/docs.moved"), tree.listing("data/docs"))
      << "the run goes on in the folder it opened";
}

TEST_F(PairMirrorTest, APowerCutBeforeThePairIsOnTheDiskIsRepairedByTheNextRun) {
  const std::string contents(20000, 'a');
  tree.file("data/docs/a.bin", contents);
  tree.file("data/docs/sub/b.txt", "b");
  tree.folder("backup");
  fs.crash(FaultOp::Sync, tree.path("backup/docs"));
  EXPECT_THROW(run("data/docs", "backup"), testkit::SimulatedCrash);
  fs.dropUnsyncedData();
  ASSERT_EQ(tree.read("backup/docs/a.bin"), "") << "the names and times stayed, the bytes did not";
  ASSERT_EQ(tree.time("backup/docs/a.bin").tv_sec, tree.time("data/docs/a.bin").tv_sec);

  fs.clear();
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.read("backup/docs/a.bin"), contents);
  EXPECT_EQ(tree.read("backup/docs/sub/b.txt"), "b");
}

TEST_F(PairMirrorTest, WhatAPairReportsDoneSurvivesAPowerCutAndAFailedSyncIsAFailure) {
  tree.file("data/docs/a.txt", "alpha");
  tree.folder("backup");
  run("data/docs", "backup");
  fs.dropUnsyncedData();
  EXPECT_EQ(tree.read("backup/docs/a.txt"), "alpha");

  tree.file("data/docs/b.txt", "beta");
  fs.fail(FaultOp::Sync, tree.path("backup/docs"));
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, ElementsAre(failure("Nelze uložit na disk: ", "backup/docs")));
}

TEST_F(PairMirrorTest, AFullDiskFailsWhatDoesNotFitAndLeavesNoHalfCopies) {
  const std::string drive = tree.folder("usb");
  if (auto why = testkit::mountTmpfs(drive, 256 << 10); !why.empty()) GTEST_SKIP() << why;
  tree.file("data/docs/big.bin", std::string(400 << 10, 'b'));
  tree.file("data/docs/small.txt", "s");
  tree.file("usb/docs/big.bin", "old copy");
  tree.setTime("usb/docs/big.bin", 1000000000);

  run("data/docs", "usb");

  EXPECT_THAT(display.lines, ElementsAre(failure("Nelze zkopirovat: ", "data/docs/big.bin")));
  EXPECT_EQ(tree.read("usb/docs/big.bin"), "old copy");
  EXPECT_EQ(tree.read("usb/docs/small.txt"), "s");
  EXPECT_THAT(tree.listing("usb/docs"), ElementsAre("big.bin", "small.txt"));
}

// A backup of `held` files of which the source still has `kept`.
void sourceLost(testkit::TempTree& tree, int held, int kept) {
  tree.remove("data");
  tree.remove("backup");
  tree.folder("data/docs");
  for (int i = 0; i < held; ++i) {
    const std::string name = "docs/f" + std::to_string(i);
    tree.file("backup/" + name, "x");
    if (i < kept) tree.file("data/" + name, "x");
  }
}

TEST_F(PairMirrorTest, ADeletionOfMostOfABackupWaitsForTheUsersYes) {
  struct Asked {
    std::int64_t files, of;
    std::string folder;
  };
  std::vector<Asked> asked;
  bool answer = false;
  PairOptions options;
  options.run.confirmMassDeletion = [&](std::int64_t files, std::int64_t of, const std::string& f) {
    asked.push_back({files, of, f});
    return answer;
  };
  // Removed without a question: not more than 20 files, or not more than half.
  for (const auto& [held, kept] : {std::pair{21, 1}, std::pair{42, 21}}) {
    sourceLost(tree, held, kept);
    display.clear();
    run("data/docs", "backup", options);
    EXPECT_THAT(display.lines, IsEmpty());
    EXPECT_EQ(tree.listing("backup/docs").size(), static_cast<std::size_t>(kept));
  }
  EXPECT_TRUE(asked.empty());

  // 21 of 41: asked; on No, and on a scheduled run, nothing goes, with a line.
  sourceLost(tree, 41, 20);
  run("data/docs", "backup", options);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].files, 21);
  EXPECT_EQ(asked[0].of, 41);
  EXPECT_EQ(asked[0].folder, tree.path("backup/docs"));
  const std::string line =
      "Výmaz vynechán, zdroj přišel o 21 z 41 souborů: " + tree.path("data/docs") + " !!!";
  EXPECT_THAT(display.lines, ElementsAre(line));
  EXPECT_EQ(tree.listing("backup/docs").size(), 41u);
  display.clear();
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, ElementsAre(line));

  // On Yes the pass goes on.
  answer = true;
  display.clear();
  run("data/docs", "backup", options);
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.listing("backup/docs").size(), 20u);
}

TEST_F(PairMirrorTest, FilesEncryptedUnderNewNamesCountAgainstTheBackupAsItWas) {
  // Every original renamed and rewritten: the copies of the new names would
  // double the pair folder before the deletion pass counts it.
  sourceLost(tree, 30, 0);
  for (int i = 0; i < 30; ++i) tree.file("data/docs/f" + std::to_string(i) + ".enc", "?");
  run("data/docs", "backup");
  EXPECT_THAT(display.lines, ElementsAre("Výmaz vynechán, zdroj přišel o 30 z 30 souborů: " +
                                         tree.path("data/docs") + " !!!"));
  EXPECT_EQ(tree.listing("backup/docs").size(), 60u) << "the originals kept, the new names copied";
}

TEST_F(PairMirrorTest, AnEntryThatChangedKindIsBackedUpAsItNowIsInOneRun) {
  PairOptions options;
  options.runStart = LocalDateTime{2026, 12, 9, 10, 0, 5};
  for (const int days : {0, 30}) {
    SCOPED_TRACE(days);
    options.run.historyDays = days;
    tree.remove("data");
    tree.remove("backup");
    tree.file("data/docs/report/page.txt", "folder once");
    tree.file("data/docs/notes", "file once");
    tree.folder("backup");
    run("data/docs", "backup", options);
    tree.remove("data/docs/report");
    tree.file("data/docs/report", "now a file");
    tree.remove("data/docs/notes");
    tree.file("data/docs/notes/n.txt", "now a folder");
    display.clear();
    run("data/docs", "backup", options);
    EXPECT_THAT(display.lines, IsEmpty());
    EXPECT_EQ(tree.read("backup/docs/report"), "now a file");
    EXPECT_EQ(tree.read("backup/docs/notes/n.txt"), "now a folder");
    if (days > 0) {
      const std::string kept = "backup/.tavro-historie/docs/2026-12-09 10.00.05/";
      EXPECT_EQ(tree.read(kept + "report/page.txt"), "folder once");
      EXPECT_EQ(tree.read(kept + "notes"), "file once");
    }
  }

  // Where deletions may not run, nothing is removed to make room: the file
  // goes into the folder, as before.
  options.run.mirrorDeletions = false;
  tree.remove("data/docs/report");
  tree.file("data/docs/report/page.txt", "a folder again");
  tree.remove("data/docs/notes");
  tree.file("data/docs/notes", "a file again");
  display.clear();
  run("data/docs", "backup", options);
  EXPECT_EQ(tree.read("backup/docs/report"), "now a file");
  EXPECT_EQ(tree.read("backup/docs/notes/notes"), "a file again");
}

}  // namespace
}  // namespace tavro
