#include "engine/tree_copy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/walk_limits.h"
#include "testing/mirror_fixture.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testkit::FaultOp;

using TreeCopyTest = MirrorTest;

// A chain of `depth` folders named "d" below `top`, each holding a file "f",
// made one level at a time: the whole paths grow beyond what the system takes.
void makeDeepChain(const std::string& top, int depth) {
  SystemFileSystem fs;
  auto opened = fs.openFolder(top);
  std::unique_ptr<Folder> folder = opened.ok() ? std::move(opened.value) : nullptr;
  for (int level = 0; level < depth && folder; ++level) {
    (void)folder->makeFolder("d", 0755);
    if (auto file = folder->createFile("f"); file.ok()) (void)file.value->close();
    auto next = folder->openFolder("d");
    folder = next.ok() ? std::move(next.value) : nullptr;
  }
}

// How many levels of such a chain are there.
int deepChainLength(const std::string& top) {
  SystemFileSystem fs;
  auto opened = fs.openFolder(top);
  std::unique_ptr<Folder> folder = opened.ok() ? std::move(opened.value) : nullptr;
  int levels = 0;
  while (folder) {
    auto next = folder->openFolder("d");
    if (!next.ok()) break;
    folder = std::move(next.value);
    ++levels;
  }
  return levels;
}

// Removes such a chain without recursion, shortening it from the top.
void removeDeepChain(const std::string& top) {
  SystemFileSystem fs;
  auto opened = fs.openFolder(top);
  if (!opened.ok()) return;
  Folder& folder = *opened.value;
  for (;;) {
    auto d = folder.openFolder("d");
    if (!d.ok()) break;
    (void)d.value->removeFile("f");
    const bool deeper = d.value->moveTo("d", folder, "next").ok();
    d.value.reset();
    (void)folder.removeFolder("d");
    if (!deeper || !folder.moveTo("next", folder, "d").ok()) break;
  }
}

TEST_F(TreeCopyTest, FirstCopyCarriesContentsExactTimesAndPermissions) {
  sourceFile("a.txt", "alpha");
  sourceFile("empty", "");
  sourceFile("block", std::string(8192, 'b'));
  sourceFile("deep/er/still/c.bin", std::string(300000, 'c'));
  sourceFile(".hidden", "h");
  tree.setTime("src/a.txt", kTime, 123456789);
  sourceFile("run.sh", "#!/bin/sh\n");
  tree.setMode("src/run.sh", 0755);
  sourceFile("locked", "ro");
  tree.setMode("src/locked", 0444);

  copy();

  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
  EXPECT_EQ(tree.read("trg/deep/er/still/c.bin"), std::string(300000, 'c'));
  EXPECT_EQ(tree.read("trg/block"), std::string(8192, 'b'));
  EXPECT_EQ(tree.read("trg/empty"), "");
  EXPECT_EQ(tree.time("trg/a.txt").tv_sec, kTime);
  // Windows keeps times in steps of 100 ns, and no execute permission.
  EXPECT_EQ(tree.time("trg/a.txt").tv_nsec, testkit::onWindows() ? 123456700 : 123456789);
  EXPECT_EQ(tree.time("trg/empty").tv_sec, kTime);
  EXPECT_EQ(tree.mode("trg/run.sh"), tree.mode("src/run.sh")) << "scripts stay executable";
  EXPECT_EQ(tree.mode("trg/locked"), 0644u) << "a copy is always writable by its owner";
}

TEST_F(TreeCopyTest, UnchangedFilesAreNeitherOpenedNorShown) {
  sourceFile("a.txt", "alpha");
  sourceFile("sub/b.txt", "beta");
  copy();
  display.clear();

  // Contents changed without the time changing, and a change within the
  // same two-second step: neither is noticed.
  tree.file("src/a.txt", "ALPHA");
  tree.setTime("src/a.txt", kTime);
  tree.setTime("src/sub/b.txt", kTime, 999000000);
  fs.failUnder(FaultOp::Open, src());
  copy();

  EXPECT_THAT(display.events, ElementsAre("pump", "pump")) << "one pump per folder entered";
  EXPECT_EQ(tree.read("trg/a.txt"), "alpha");
  EXPECT_EQ(fs.triggered(FaultOp::Open), 0);
}

TEST_F(TreeCopyTest, ADifferentTimeReplacesTheCopyEvenWhenOlder) {
  sourceFile("a.txt", "new");
  sourceFile("b.txt", "older");
  tree.file("trg/a.txt", "old");
  tree.setTime("trg/a.txt", kTime - 3600);
  tree.file("trg/b.txt", "newer");
  tree.setTime("trg/b.txt", kTime + 3600);

  copy();

  EXPECT_EQ(tree.read("trg/a.txt"), "new");
  EXPECT_EQ(tree.read("trg/b.txt"), "older");
  EXPECT_EQ(tree.time("trg/b.txt").tv_sec, kTime);
  EXPECT_EQ(tree.listing("trg"), tree.listing("src")) << "no temporary file stays behind";
}

TEST_F(TreeCopyTest, FailuresBecomeLinesAndTheWalkGoesOn) {
  sourceFile("a.txt", "a");
  sourceFile("b.txt", "b");
  sourceFile("c.txt", "c");
  sourceFile("d.txt", "d");
  fs.fail(FaultOp::Open, src("a.txt"));
  fs.fail(FaultOp::Create, trg("b.txt"));
  fs.fail(FaultOp::Read, src("c.txt"));
  fs.fail(FaultOp::Write, trg("d.txt"), ENOSPC);

  copy();

  EXPECT_THAT(display.lines,
              ::testing::UnorderedElementsAre("Nelze zkopirovat: " + src("a.txt") + " !!!",
                                              "Nelze zkopirovat: " + src("b.txt") + " !!!",
                                              "Nelze zkopirovat: " + src("c.txt") + " !!!",
                                              "Nelze zkopirovat: " + src("d.txt") + " !!!"));
  EXPECT_THAT(tree.listing("trg"), IsEmpty()) << "a copy that broke off leaves nothing";
}

TEST_F(TreeCopyTest, MissingTargetFoldersAreCreatedAsFilesNeedThem) {
  tree.folder("src/a-empty");
  sourceFile("b.txt", "b");
  tree.folder("src/c-empty");
  sourceFile("d/e/f.txt", "f");

  copy();

  EXPECT_TRUE(tree.exists("trg/b.txt"));
  EXPECT_TRUE(tree.exists("trg/d/e/f.txt"));
  EXPECT_THAT(display.lines, IsEmpty());
  // Whether an empty folder comes along in the first run depends on the
  // listing order; by the second run every folder is there.
  copy();
  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
}

TEST_F(TreeCopyTest, AFolderCreationFailureFailsEachFileInside) {
  sourceFile("sub/a.txt", "a");
  sourceFile("sub/deeper/b.txt", "b");
  tree.folder("trg");
  fs.failUnder(FaultOp::MakeFolder, trg());

  copy();

  EXPECT_THAT(display.lines, ::testing::UnorderedElementsAre(
                                 "Nelze zkopirovat: " + src("sub/a.txt") + " !!!",
                                 "Nelze zkopirovat: " + src("sub/deeper/b.txt") + " !!!"));
}

TEST_F(TreeCopyTest, UnreadableSourceFoldersArePassedOverWithALine) {
  sourceFile("a/1.txt", "1");
  sourceFile("b/2.txt", "2");
  sourceFile("c/3.txt", "3");
  sourceFile("c/4.txt", "4");
  tree.file("trg/b/2.txt", "the backup of b");
  fs.fail(FaultOp::ListStart, src("a"));
  fs.fail(FaultOp::OpenFolder, src("b"), EACCES);
  fs.fail(FaultOp::ListMiddle, src("c"), EIO, 1);

  mirror();

  EXPECT_THAT(display.lines,
              ::testing::UnorderedElementsAre("Nelze číst složku: " + src("a") + " !!!",
                                              "Nelze číst složku: " + src("b") + " !!!",
                                              "Nelze číst složku: " + src("c") + " !!!"));
  EXPECT_FALSE(tree.exists("trg/a/1.txt"));
  EXPECT_EQ(tree.read("trg/b/2.txt"), "the backup of b") << "its backup stays";
  EXPECT_EQ(tree.listing("trg/c").size(), 1u) << "the listing ends where it broke off";

  fs.clear();
  fs.fail(FaultOp::OpenFolder, src());
  tree.remove("trg");
  copy();
  EXPECT_FALSE(tree.exists("trg"));
}

TEST_F(TreeCopyTest, AnUnreadableFolderAsAUserSeesItKeepsItsBackup) {
  sourceFile("open/a.txt", "a");
  sourceFile("locked/secret.txt", "s");
  tree.file("trg/locked/secret.txt", "the backup");
  tree.setMode("src/locked", 0);
  giveToNobody(trg());
  giveToNobody(trg("locked"));

  std::string whyNot;
  const std::string lines = mirrorAsNobody(true, &whyNot);
  if (!whyNot.empty()) GTEST_SKIP() << whyNot;

  EXPECT_EQ(lines, "Nelze číst složku: " + src("locked") + " !!!\n");
  EXPECT_EQ(tree.read("trg/open/a.txt"), "a");
  EXPECT_EQ(tree.read("trg/locked/secret.txt"), "the backup");
}

TEST_F(TreeCopyTest, ATargetThatRefusesPermissionsStillTakesWholeCopies) {
  // vfat and exFAT answer most changes of mode with EPERM.
  sourceFile("a.txt", "new");
  sourceFile("b.txt", "b");
  tree.file("trg/a.txt", "old");
  fs.failUnder(FaultOp::SetMode, trg(), EPERM);
  copy();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.read("trg/a.txt"), "new");
  EXPECT_EQ(tree.time("trg/b.txt").tv_sec, kTime);
  display.clear();
  copy();
  EXPECT_THAT(display.only("copy "), IsEmpty()) << "and the next run leaves them alone";
}

TEST_F(TreeCopyTest, AReadOnlyTargetFolderAsAUserSeesItGivesBothLines) {
  sourceFile("a.txt", "new");
  tree.file("trg/a.txt", "old");
  giveToNobody(trg());
  giveToNobody(trg("a.txt"));
  tree.setMode("trg", 0555);

  std::string whyNot;
  const std::string lines = mirrorAsNobody(false, &whyNot);
  if (!whyNot.empty()) GTEST_SKIP() << whyNot;

  EXPECT_EQ(lines, "Nelze vymazat: " + trg("a.txt") + " !!!\nNelze zkopirovat: " + src("a.txt") +
                       " !!!\n");
  EXPECT_EQ(tree.read("trg/a.txt"), "old");
}

TEST_F(TreeCopyTest, ATreeTooDeepToWalkIsReportedAndItsBackupKept) {
  if (testkit::onWindows()) {
    GTEST_SKIP() << "wine takes many minutes over a chain of the thousand folders the walk takes";
  }
  makeDeepChain(src(), 20000);
  tree.folder("trg");
  makeDeepChain(trg(), kMaxFolderDepth + 5);  // an older backup, deeper than the walk goes
  struct Cleanup {
    std::string source, target;
    ~Cleanup() {
      removeDeepChain(source);
      removeDeepChain(target);
    }
  } cleanup{src(), trg()};

  mirror();

  std::string tooDeep = src();
  for (int level = 0; level <= kMaxFolderDepth; ++level) tooDeep += "/d";
  EXPECT_THAT(display.lines, ElementsAre("Příliš hluboká složka: " + tooDeep + " !!!"));
  EXPECT_EQ(deepChainLength(trg()), kMaxFolderDepth + 5);
}

TEST_F(TreeCopyTest, AFolderInTheTargetTakesTheFileIntoItUntilTheDeletionPass) {
  sourceFile("x", "file");
  tree.file("trg/x/other", "o");

  copy();
  EXPECT_EQ(tree.read("trg/x/x"), "file");

  prune();
  copy();
  EXPECT_EQ(tree.read("trg/x"), "file");
}

TEST_F(TreeCopyTest, AFileInTheTargetBlocksTheFolderUntilTheDeletionPass) {
  sourceFile("x/a.txt", "a");
  tree.file("trg/x", "in the way");

  copy();
  EXPECT_THAT(display.lines, ElementsAre("Nelze zkopirovat: " + src("x/a.txt") + " !!!"));

  prune();
  display.clear();
  copy();
  EXPECT_THAT(display.lines, IsEmpty());
  EXPECT_EQ(tree.read("trg/x/a.txt"), "a");
}

TEST_F(TreeCopyTest, LinksAreCopiedAsLinksAndNeverFollowed) {
  if (const std::string whyNot = testkit::whyNoLinks(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.file("outside/secret.txt", "s");
  tree.link("src/to-outside", tree.path("outside"));
  tree.link("src/dangling", "no/such/file");
  tree.link("src/sibling", "a.txt");
  sourceFile("a.txt", "a");

  copy();

  EXPECT_TRUE(tree.isLink("trg/to-outside"));
  EXPECT_EQ(tree.readLink("trg/to-outside"), tree.path("outside"));
  EXPECT_EQ(tree.readLink("trg/dangling"), "no/such/file");
  EXPECT_EQ(tree.time("trg/sibling").tv_sec, tree.time("src/sibling").tv_sec);
  EXPECT_THAT(display.lines, IsEmpty());

  display.clear();
  copy();
  EXPECT_THAT(display.only("copy "), IsEmpty()) << "an unchanged link is left alone";
}

TEST_F(TreeCopyTest, LinksInTheTargetAreReplacedNotWrittenThrough) {
  tree.file("outside/victim.txt", "keep me");
  sourceFile("victim.txt", "new");
  tree.link("trg/victim.txt", tree.path("outside/victim.txt"));
  // A target folder swapped for a link to somewhere else.
  sourceFile("sub/f.txt", "f");
  tree.link("trg/sub", tree.path("outside"));

  copy();

  EXPECT_EQ(tree.read("outside/victim.txt"), "keep me");
  EXPECT_FALSE(tree.isLink("trg/victim.txt"));
  EXPECT_EQ(tree.read("trg/victim.txt"), "new");
  EXPECT_FALSE(tree.exists("outside/f.txt"));
  EXPECT_THAT(display.lines, ElementsAre("Nelze zkopirovat: " + src("sub/f.txt") + " !!!"));
}

TEST_F(TreeCopyTest, SpecialFilesArePassedOverWithoutOpening) {
  if (const std::string whyNot = testkit::whyNoFifos(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.fifo("src/pipe");
  sourceFile("a.txt", "a");
  copy();
  EXPECT_THAT(tree.listing("trg"), ElementsAre("a.txt"));
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(TreeCopyTest, TimesOutsideTheDosRangeAreCopiedOnceAndKept) {
  sourceFile("old.txt", "1975", 157766400);  // 1975
  sourceFile("epoch.txt", "1970", 0);
  sourceFile("future.txt", "2200", 7258118400);  // 2200
  copy();
  EXPECT_EQ(tree.time("trg/old.txt").tv_sec, 157766400);
  EXPECT_EQ(tree.time("trg/future.txt").tv_sec, 7258118400);

  display.clear();
  mirror();
  EXPECT_THAT(display.only("copy "), IsEmpty());
  EXPECT_THAT(display.only("delete"), IsEmpty());
  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
}

TEST_F(TreeCopyTest, ATargetInsideItsSourceIsNotCopiedIntoItself) {
  sourceFile("a.txt", "a");
  tree.folder("src/backup");
  copyTree(fs, display, src(), src("backup"));
  EXPECT_TRUE(tree.exists("src/backup/a.txt"));
  EXPECT_FALSE(tree.exists("src/backup/backup"));
}

// Folders new to the target go to the second thread while the walk goes on:
// the copy is the same, and so are the failure lines and their order, all
// shown from the run's thread.
TEST_F(TreeCopyTest, NewFoldersCopiedBesideTheWalkComeWholeWithTheirFailuresInOrder) {
  for (const std::string folder : {"a", "b", "c", "d", "e", "f"}) {
    for (int i = 0; i < 30; ++i) sourceFile(folder + "/in/f" + std::to_string(i), folder);
    sourceFile(folder + "-file", folder);
    fs.fail(FaultOp::Open, src(folder + "/in/f7"));
    fs.fail(FaultOp::Open, src(folder + "-file"));
  }
  tree.setTime("src/f/in", kTime);
  PassOptions inTurn;
  inTurn.readAhead = false;
  copyTree(fs, display, src(), tree.path("in-turn"), inTurn);
  const auto linesInTurn = display.lines;
  ASSERT_EQ(linesInTurn.size(), 12u);
  EXPECT_EQ(fs.callsFromOtherThreads(), 0);
  display.clear();

  copyTree(fs, display, src(), trg(), PassOptions{});

  EXPECT_EQ(display.lines, linesInTurn);
  EXPECT_GT(fs.callsFromOtherThreads(), 0) << "no folder was copied beside the walk";
  EXPECT_EQ(tree.listing("trg"), tree.listing("in-turn"));
  EXPECT_EQ(tree.time("trg/f/in").tv_sec, kTime) << "the folder's time comes after its files";
}

// A stop while the walk waits for the second thread reaches it: the run ends
// soon, without copying the rest.
TEST_F(TreeCopyTest, AStopWhileTheWalkWaitsEndsTheCopyBesideIt) {
  for (int i = 0; i < 400; ++i) sourceFile("only/f" + std::to_string(i), "x");
  StopRequest stop;
  struct StoppingDisplay : testkit::RecordingDisplay {
    StopRequest* stop = nullptr;
    void processMessages() override {
      RecordingDisplay::processMessages();
      if (pumps == 3) stop->request();
    }
  } stopping;
  stopping.stop = &stop;
  // The first copy on the second thread takes long: the walk, done with
  // its own part, waits for it with the window answering.
  fs.interruptWrite(trg("only"),
                    [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
  PassOptions options;
  options.stop = &stop;

  copyTree(fs, stopping, src(), trg(), options);

  EXPECT_GE(stopping.pumps, 3);
  EXPECT_LT(tree.listing("trg/only").size(), 10u);
  EXPECT_EQ(stopping.callsFromOtherThreads, 0);
}

}  // namespace
}  // namespace tavro
