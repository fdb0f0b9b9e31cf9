#include "engine/deletion_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "testing/mirror_fixture.h"

namespace tavro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testkit::FaultOp;

using DeletionPassTest = MirrorTest;

TEST_F(DeletionPassTest, RemovesWhatTheSourceLacksDeepestFirst) {
  sourceFile("keep.txt", "k");
  sourceFile("sub/keep.txt", "k");
  tree.file("trg/keep.txt", "different contents and time");
  tree.file("trg/gone.txt", "g");
  tree.file("trg/sub/keep.txt", "k");
  tree.file("trg/old/deeper/x.txt", "x");
  tree.file("trg/.hidden", "h");

  prune();

  EXPECT_THAT(tree.listing("trg"), ElementsAre("keep.txt", "sub/", "sub/keep.txt"));
  EXPECT_EQ(tree.read("trg/keep.txt"), "different contents and time");
  EXPECT_THAT(display.only("delete "), ::testing::UnorderedElementsAre(
                                           "delete " + trg("gone.txt"), "delete " + trg(".hidden"),
                                           "delete " + trg("old/deeper/x.txt")));
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(DeletionPassTest, EachDeletionIsShownAndPumpedWhileKeptFilesCostNothing) {
  sourceFile("a.txt", "a");
  tree.file("trg/a.txt", "a");
  tree.file("trg/b.txt", "b");
  prune();
  EXPECT_THAT(display.events, ElementsAre("pump", "delete " + trg("b.txt"), "pump", "deleted"));
}

TEST_F(DeletionPassTest, NamesThatMatchAtOneLevelSayNothingOfTheLevelsBelow) {
  // "few" holds a handful of folders, "many" more than the pass keeps the
  // names of between its two listings.
  for (int i = 0; i < 1100; ++i) {
    const std::string name = "many/d" + std::to_string(i);
    tree.folder("src/" + name);
    tree.folder("trg/" + name);
    if (i % 10 == 0) tree.file("trg/" + name + "/gone.txt", "g");
  }
  for (const char* folder : {"few/a", "few/b", "few/c"}) {
    sourceFile(std::string(folder) + "/keep.txt", "k");
    tree.file("trg/" + std::string(folder) + "/keep.txt", "k");
  }
  tree.file("trg/few/b/gone.txt", "g");
  tree.file("trg/many/d7/old/x.txt", "x");

  prune();

  const auto deleted = display.only("delete ");
  EXPECT_EQ(deleted.size(), 112u);
  EXPECT_THAT(deleted, ::testing::Contains("delete " + trg("few/b/gone.txt")));
  EXPECT_THAT(deleted, ::testing::Contains("delete " + trg("many/d1090/gone.txt")));
  EXPECT_FALSE(tree.exists("trg/many/d7/old"));
  EXPECT_TRUE(tree.exists("trg/few/b/keep.txt"));
}

TEST_F(DeletionPassTest, AsManyNamesAsTheSourceIsNotTheSameNames) {
  if (const std::string whyNot = testkit::whyNoFifos(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  sourceFile("a.txt", "a");
  sourceFile("b.txt", "b");
  tree.file("trg/a.txt", "a");
  tree.file("trg/c.txt", "c");
  tree.fifo("src/p");
  tree.file("trg/p", "source has only a pipe of that name");
  prune();
  EXPECT_THAT(tree.listing("trg"), ElementsAre("a.txt"));
}

TEST_F(DeletionPassTest, AFileThatCannotBeDeletedKeepsItsFolder) {
  tree.file("trg/old/stuck.txt", "s");
  tree.file("trg/old/loose.txt", "l");
  fs.fail(FaultOp::Delete, trg("old/stuck.txt"), EPERM);

  prune();

  EXPECT_THAT(display.lines, ElementsAre("Nelze smazat subor: " + trg("old/stuck.txt") + " !!!"));
  EXPECT_THAT(tree.listing("trg"), ElementsAre("old/", "old/stuck.txt"));
}

TEST_F(DeletionPassTest, ListingsWithoutKindsStillTellAFileFromAFolder) {
  // The same names on both sides, but "x" a folder in the source and a file
  // in the target: names alone must not let the file stay.
  tree.folder("src/x");
  sourceFile("same.txt", "s");
  tree.file("trg/x", "a file where the source has a folder");
  tree.file("trg/same.txt", "s");
  fs.hideKinds();
  prune();
  EXPECT_THAT(tree.listing("trg"), ElementsAre("same.txt"));
  mirror();
  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
}

TEST_F(DeletionPassTest, ANameOfTheOtherKindDoesNotCount) {
  tree.folder("src/was-file");
  sourceFile("was-folder", "now a file");
  tree.file("trg/was-file", "f");
  tree.file("trg/was-folder/inside.txt", "i");

  prune();

  EXPECT_THAT(tree.listing("trg"), IsEmpty());
}

TEST_F(DeletionPassTest, AMissingOrUnreadableSourceDeletesNothing) {
  tree.file("trg/a.txt", "a");
  tree.file("trg/sub/b.txt", "b");
  const auto before = tree.listing("trg");

  tree.remove("src");
  prune();
  EXPECT_EQ(tree.listing("trg"), before) << "an unplugged drive must not empty its backup";

  tree.folder("src");
  fs.fail(FaultOp::OpenFolder, src(), EACCES);
  prune();
  fs.clear();
  fs.fail(FaultOp::ListStart, src(), EIO);
  prune();
  fs.clear();
  fs.fail(FaultOp::ListMiddle, src(), EIO, 0);
  prune();
  EXPECT_EQ(tree.listing("trg"), before);
  EXPECT_THAT(display.only("delete "), IsEmpty());
}

TEST_F(DeletionPassTest, AnUnreadableSourceFolderKeepsItsBackupWhileOthersAreMirrored) {
  sourceFile("locked/a.txt", "a");
  sourceFile("broken/b.txt", "b");
  sourceFile("stale/c.txt", "c");
  sourceFile("fine/d.txt", "d");
  for (const char* folder : {"locked", "broken", "stale", "fine"}) {
    tree.file(std::string("trg/") + folder + "/extra.txt", "e");
  }
  tree.file("trg/vanished/e.txt", "e");
  fs.fail(FaultOp::OpenFolder, src("locked"), EACCES);
  fs.fail(FaultOp::ListStart, src("broken"), EIO);
  fs.fail(FaultOp::Stat, src("stale/extra.txt"), ESTALE);

  prune();

  EXPECT_TRUE(tree.exists("trg/locked/extra.txt"));
  EXPECT_TRUE(tree.exists("trg/broken/extra.txt"));
  EXPECT_TRUE(tree.exists("trg/stale/extra.txt"));
  EXPECT_FALSE(tree.exists("trg/fine/extra.txt"));
  EXPECT_FALSE(tree.exists("trg/vanished")) << "a folder that is really gone is mirrored";
}

TEST_F(DeletionPassTest, LinksInTheTargetAreRemovedNeverFollowed) {
  if (const std::string whyNot = testkit::whyNoLinks(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.file("outside/precious.txt", "p");
  tree.link("trg/to-folder", tree.path("outside"));
  tree.link("trg/to-file", tree.path("outside/precious.txt"));
  tree.link("src/kept-link", "x");
  tree.link("trg/kept-link", "y");

  prune();

  EXPECT_THAT(tree.listing("trg"), ElementsAre("kept-link@"));
  EXPECT_EQ(tree.read("outside/precious.txt"), "p");
}

TEST_F(DeletionPassTest, SpecialFilesInTheTargetAreDeleted) {
  if (const std::string whyNot = testkit::whyNoFifos(); !whyNot.empty()) GTEST_SKIP() << whyNot;
  tree.fifo("trg/pipe");
  prune();
  EXPECT_FALSE(tree.exists("trg/pipe"));
}

TEST_F(DeletionPassTest, ASourceInsideTheTargetIsNeverTouched) {
  tree.file("trg/photos/holiday.jpg", "j");
  tree.file("trg/stale.txt", "s");
  deleteVanished(fs, display, trg("photos"), trg());
  EXPECT_EQ(tree.read("trg/photos/holiday.jpg"), "j");
  EXPECT_FALSE(tree.exists("trg/stale.txt"));
}

TEST_F(DeletionPassTest, OtherPairsSourcesAreNeverEnteredOrRemoved) {
  tree.file("trg/theirs/data.txt", "d");  // another pair's source, inside this pair's folder
  tree.file("trg/stale.txt", "s");
  auto source = fs.openFolder(src());
  auto target = fs.openFolder(trg());
  auto theirs = fs.openFolder(trg("theirs"));
  ASSERT_TRUE(source.ok() && target.ok() && theirs.ok());
  const std::vector<FolderId> others{theirs.value->id()};

  deleteVanished(display, *source.value, *target.value, others);
  EXPECT_EQ(tree.read("trg/theirs/data.txt"), "d");
  EXPECT_FALSE(tree.exists("trg/stale.txt"));
  const std::string skipped =
      "Výmaz vynechán, cíl obsahuje zdroj jiného páru: " + trg("theirs") + " !!!";
  EXPECT_THAT(display.lines, ElementsAre(skipped));

  // A pair folder that is itself another pair's source is left whole.
  display.clear();
  deleteVanished(display, *source.value, *theirs.value, others);
  EXPECT_EQ(tree.read("trg/theirs/data.txt"), "d");
  EXPECT_THAT(display.lines, ElementsAre(skipped));
}

TEST_F(DeletionPassTest, ACaseOnlyRenameOnACaseFoldingTargetKeepsTheCopy) {
  fs.foldCase(trg());
  sourceFile("Foo.txt", "foo");
  sourceFile("Docs/inside.txt", "i");
  sourceFile("Gone.txt", "g");
  mirror();
  ASSERT_EQ(tree.listing("trg"), tree.listing("src"));

  renameInSource("Foo.txt", "foo.txt");
  renameInSource("Docs", "docs");
  tree.remove("src/Gone.txt");
  display.clear();
  mirror();

  EXPECT_THAT(tree.listing("trg"), ElementsAre("docs/", "docs/inside.txt", "foo.txt"));
  EXPECT_EQ(tree.read("trg/foo.txt"), "foo");
  EXPECT_THAT(display.only("delete "), ElementsAre("delete " + trg("Gone.txt")))
      << "only what the source really lost goes";
  EXPECT_THAT(display.lines, IsEmpty());
}

// Windows: the source answers for the copy's old case too, and its listing
// tells the case it has now.
TEST_F(DeletionPassTest, ACaseOnlyRenameWhereBothSidesFoldCaseRenamesTheCopy) {
  fs.foldCase(src());
  fs.foldCase(trg());
  sourceFile("Foo.txt", "foo");
  sourceFile("Docs/inside.txt", "i");
  sourceFile("Same.txt", "s");
  mirror();
  renameInSource("Foo.txt", "foo.txt");
  renameInSource("Docs", "docs");
  display.clear();
  mirror();

  EXPECT_THAT(tree.listing("trg"), ElementsAre("Same.txt", "docs/", "docs/inside.txt", "foo.txt"));
  EXPECT_THAT(display.only("delete "), IsEmpty());
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(DeletionPassTest, FolderRemovalFailuresAreSilent) {
  tree.folder("trg/empty");
  fs.fail(FaultOp::Delete, trg("empty"), EBUSY);
  prune();
  EXPECT_TRUE(tree.isFolder("trg/empty"));
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(DeletionPassTest, UnlistableTargetFoldersArePassedOver) {
  tree.file("trg/a/x.txt", "x");
  tree.file("trg/b/y.txt", "y");
  fs.fail(FaultOp::ListStart, trg("a"));
  fs.fail(FaultOp::ListMiddle, trg("b"), EIO, 0);
  prune();
  EXPECT_TRUE(tree.exists("trg/a/x.txt"));
  EXPECT_TRUE(tree.exists("trg/b/y.txt"));
  EXPECT_THAT(display.lines, IsEmpty());
}

TEST_F(DeletionPassTest, AMirroredTreeIsTheSourceAfterChangesOnBothSides) {
  sourceFile("docs/a.txt", "a");
  sourceFile("docs/b.txt", "b");
  sourceFile("pics/c.jpg", "c");
  mirror();
  tree.remove("src/docs/a.txt");
  tree.remove("src/pics");
  sourceFile("docs/new.txt", "n");
  sourceFile("pics", "now a file");
  tree.file("trg/docs/b.txt", "tampered");
  display.clear();

  mirror();
  mirror();

  EXPECT_EQ(tree.listing("trg"), tree.listing("src"));
  EXPECT_EQ(tree.read("trg/pics"), "now a file");
  EXPECT_EQ(tree.read("trg/docs/b.txt"), "b") << "the tampered copy had another time";
  EXPECT_THAT(display.lines, IsEmpty());
}

}  // namespace
}  // namespace tavro
