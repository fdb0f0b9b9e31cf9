#include "platform/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "testing/temp_tree.h"

namespace tavro {
namespace {

using ::testing::Pair;
using ::testing::UnorderedElementsAre;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  std::unique_ptr<Folder> open(const std::string& relative = "") {
    auto folder = fs.openFolder(tree.path(relative));
    EXPECT_TRUE(folder.ok()) << systemReason(folder.error);
    return std::move(folder.value);
  }

  testing::TempTree tree;
  PosixFileSystem fs;
};

TEST_F(PosixFileSystemTest, ListsEveryEntryWithItsKindButNotTheDotEntries) {
  tree.file("f", "x");
  tree.file(".hidden", "x");
  tree.folder("d");
  tree.link("l", "d");
  tree.fifo("p");
  auto folder = open();
  auto listing = folder->list();
  ASSERT_TRUE(listing.ok());
  std::map<std::string, EntryKind> seen;
  ListedEntry entry;
  int error = 0;
  while (listing.value->next(entry, &error)) seen[entry.name] = entry.kind;
  EXPECT_EQ(error, 0);
  EXPECT_THAT(seen, UnorderedElementsAre(Pair("f", EntryKind::File), Pair(".hidden", EntryKind::File),
                                         Pair("d", EntryKind::Folder), Pair("l", EntryKind::Link),
                                         Pair("p", EntryKind::Special)));
}

TEST_F(PosixFileSystemTest, NeverFollowsALinkBelowTheFolderItWasGiven) {
  tree.file("outside/secret", "s");
  tree.link("inside/to-outside", tree.path("outside"));
  tree.link("inside/to-secret", tree.path("outside/secret"));
  auto inside = open("inside");

  EXPECT_FALSE(inside->openFolder("to-outside").ok());
  EXPECT_FALSE(inside->openFile("to-secret").ok());
  EXPECT_EQ(inside->stat("to-secret").value.kind, EntryKind::Link);
  EXPECT_EQ(inside->createFile("to-secret").error, EEXIST);
  EXPECT_EQ(inside->createFile("to-nowhere").error, 0);
  tree.link("inside/dangling", tree.path("outside/created-through-link"));
  EXPECT_EQ(inside->createFile("dangling").error, EEXIST);
  EXPECT_FALSE(tree.exists("outside/created-through-link"));

  ASSERT_TRUE(inside->removeFile("to-secret").ok());
  EXPECT_EQ(tree.read("outside/secret"), "s");
  // The whole path the user gave may pass through links.
  EXPECT_TRUE(fs.openFolder(tree.path("inside/to-outside")).ok());
}

TEST_F(PosixFileSystemTest, OpeningAFifoFailsInsteadOfBlocking) {
  tree.fifo("p");
  EXPECT_EQ(open()->openFile("p").error, EINVAL);
}

TEST_F(PosixFileSystemTest, CopiesBytesAndFinishesWithModeAndTime) {
  const std::string contents(5 * 1024 * 1024 + 17, 'q');
  tree.file("in", contents);
  auto folder = open();
  auto input = folder->openFile("in");
  auto output = folder->createFile("out");
  ASSERT_TRUE(input.ok() && output.ok());
  std::size_t total = 0;
  for (;;) {
    auto moved = output.value->copyFrom(*input.value, 1 << 20);
    ASSERT_TRUE(moved.ok());
    if (moved.value == 0) break;
    total += moved.value;
  }
  EXPECT_EQ(total, contents.size());
  ASSERT_TRUE(output.value->setMode(0750).ok());
  ASSERT_TRUE(output.value->setModified(timespec{1000000000, 42}).ok());
  ASSERT_TRUE(output.value->close().ok());
  EXPECT_EQ(tree.read("out"), contents);
  EXPECT_EQ(tree.mode("out"), 0750u);
  EXPECT_EQ(tree.time("out").tv_sec, 1000000000);
  EXPECT_EQ(tree.time("out").tv_nsec, 42);
}

TEST_F(PosixFileSystemTest, RenameReplacesALinkItselfNotWhatItPointsTo) {
  tree.file("target.txt", "keep");
  tree.link("name", "target.txt");
  tree.file("new", "fresh");
  ASSERT_TRUE(open()->rename("new", "name").ok());
  EXPECT_EQ(tree.read("target.txt"), "keep");
  EXPECT_FALSE(tree.isLink("name"));
  EXPECT_EQ(tree.read("name"), "fresh");
}

TEST_F(PosixFileSystemTest, FolderChainCreatesEveryMissingLevel) {
  makeFolderChain(fs, tree.path("a/b/c/"));
  EXPECT_TRUE(tree.isFolder("a/b/c"));
  tree.file("f", "x");
  makeFolderChain(fs, tree.path("f/g"));
  EXPECT_FALSE(tree.exists("f/g"));
  EXPECT_FALSE(folderExists(fs, tree.path("f")));
}

TEST(PathTest, SplitsAtTheLastSlashOnly) {
  auto parts = [](const std::string& path) {
    const PathParts p = splitPath(path);
    return p.folder + "|" + p.name;
  };
  EXPECT_EQ(parts("/home/jan/Tavro.csv"), "/home/jan|Tavro.csv");
  EXPECT_EQ(parts("/Tavro.log"), "/|Tavro.log");
  EXPECT_EQ(parts("Tavro.ini"), ".|Tavro.ini");
  EXPECT_EQ(parts("/data/docs/"), "/data/docs|");
}

TEST_F(PosixFileSystemTest, FailuresCarryTheSystemsReason) {
  EXPECT_EQ(fs.openFolder(tree.path("none")).error, ENOENT);
  EXPECT_EQ(fs.openFolder("").error, ENOENT);
  EXPECT_FALSE(systemReason(ENOENT).empty());
  EXPECT_EQ(open()->removeFolder("none").error, ENOENT);
}

}  // namespace
}  // namespace tavro
