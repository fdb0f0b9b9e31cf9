#include "platform/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <optional>

#include "testing/real_system.h"
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

  testkit::TempTree tree;
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
  EXPECT_THAT(seen,
              UnorderedElementsAre(Pair("f", EntryKind::File), Pair(".hidden", EntryKind::File),
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

TEST_F(PosixFileSystemTest, AFolderExistsOnlyWhereAFolderIs) {
  tree.file("a.txt", "x");
  tree.folder("dir");
  EXPECT_TRUE(folderExists(fs, tree.path("dir")));
  EXPECT_FALSE(folderExists(fs, tree.path("a.txt")));
  EXPECT_FALSE(folderExists(fs, tree.path("none")));
  EXPECT_FALSE(folderExists(fs, ""));
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

TEST(PathTest, InsideMeansBelowAWholeFolderName) {
  EXPECT_TRUE(isSameOrInside("/data/photos", "/data/photos"));
  EXPECT_TRUE(isSameOrInside("/data/photos/2006", "/data/photos"));
  EXPECT_TRUE(isSameOrInside("/data", "/"));
  // A sibling whose name only begins the same is not inside: a pair photos
  // -> photos-backup does not overlap.
  EXPECT_FALSE(isSameOrInside("/data/photos-backup", "/data/photos"));
  EXPECT_FALSE(isSameOrInside("/data", "/data/photos"));
  EXPECT_FALSE(isSameOrInside("", "/"));
}

TEST_F(PosixFileSystemTest, ResolvesPathsAsTheSystemDoes) {
  tree.folder("b/c/d");
  tree.link("a/link", tree.path("b/c"));  // absolute
  tree.link("a/rel", "../b/c/d");         // relative to its own folder
  tree.link("a/chain", "rel");            // a link to a link
  tree.link("a/loop1", "loop2");
  tree.link("a/loop2", "loop1");
  const auto real = [](const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : "";
  };
  for (const char* relative :
       {"a/link/..", "a/link/../..", "a/rel/..", "a/rel/../../c", "a/chain/..", "a/./link//d/",
        "a/link/d/../../c", "b/c/d/../../../a/link", "a/chain"}) {
    SCOPED_TRACE(relative);
    const std::string path = tree.path(relative);
    ASSERT_FALSE(real(path).empty());
    EXPECT_EQ(fs.resolve(path), real(path));
  }
  // "a/link/.." is where the link leads, up one: not "a".
  EXPECT_EQ(fs.resolve(tree.path("a/link/..")), real(tree.path("b")));

  // Where the path stops existing, the rest is folded as text.
  EXPECT_EQ(fs.resolve(tree.path("a/link/new/x/../y")), real(tree.path("b/c")) + "/new/y");
  EXPECT_EQ(fs.resolve(tree.path("a/new/../link/..")), real(tree.path("b")));
  EXPECT_EQ(fs.resolve(tree.path("a/loop1/x")), real(tree.path("a")) + "/loop1/x");
  EXPECT_EQ(fs.resolve("/"), "/");
  EXPECT_EQ(fs.resolve("/.."), "/");
  EXPECT_EQ(fs.resolve(""), "");

  char cwd[PATH_MAX];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(tree.path("a").c_str()), 0);
  const std::string relativeResult = fs.resolve("link/../d");
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(relativeResult, real(tree.path("b")) + "/d");
}

TEST_F(PosixFileSystemTest, CopyKeepsTheHolesOfASparseFile) {
  constexpr off_t kSize = 16 << 20;
  const std::string path = tree.path("sparse");
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    for (off_t at : {off_t{0}, off_t{6 << 20}, kSize - 4096 - 3}) {
      ASSERT_EQ(::pwrite(fd, "data", 4, at), 4);
    }
    ::close(fd);
  }
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  if (st.st_blocks * 512 >= kSize) GTEST_SKIP() << "this file system does not keep holes";

  // The same file with a hole at its end as well.
  const std::string tail = tree.path("tail");
  {
    const int fd = ::open(tail.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    ::close(fd);
  }

  auto folder = open();
  for (const char* name : {"sparse", "tail"}) {
    SCOPED_TRACE(name);
    auto input = folder->openFile(name);
    auto output = folder->createFile(std::string(name) + ".copy");
    ASSERT_TRUE(input.ok() && output.ok());
    std::int64_t total = 0;
    for (;;) {
      auto moved = output.value->copyFrom(*input.value, 1 << 20);
      ASSERT_TRUE(moved.ok()) << systemReason(moved.error);
      if (moved.value == 0) break;
      total += static_cast<std::int64_t>(moved.value);
    }
    ASSERT_TRUE(output.value->close().ok());
    EXPECT_EQ(total, kSize) << "holes count towards the gauge";
    const std::string copy = tree.path(std::string(name) + ".copy");
    struct stat out;
    ASSERT_EQ(::stat(copy.c_str(), &out), 0);
    EXPECT_EQ(out.st_size, kSize);
    EXPECT_LT(out.st_blocks * 512, 1 << 20) << "the copy is sparse too";
    EXPECT_EQ(tree.read(std::string(name) + ".copy"), tree.read(name));
  }
}

TEST_F(PosixFileSystemTest, FailuresCarryTheSystemsReason) {
  EXPECT_EQ(fs.openFolder(tree.path("none")).error, ENOENT);
  EXPECT_EQ(fs.openFolder("").error, ENOENT);
  EXPECT_FALSE(systemReason(ENOENT).empty());
  EXPECT_EQ(open()->removeFolder("none").error, ENOENT);
}

TEST_F(PosixFileSystemTest, AMountPointOfTheTableIsUnmountedUntilAFileSystemIsMountedThere) {
  tree.folder("mnt/backup/sub");
  tree.folder("mnt/my drive");
  tree.file("fstab", "# <file system> <mount point> <type>\n"
                     "UUID=1 / ext4 defaults 0 1\n"
                     "none none swap sw 0 0\n"
                     "\t/dev/sdb1   " + tree.path("mnt/backup") + " ext4 noauto 0 2\n" +
                     "LABEL=x " + tree.path("mnt/my\\040drive") + " vfat noauto 0 0\n");
  PosixFileSystem withTable(tree.path("fstab"));
  EXPECT_EQ(withTable.unmountedMountPointOf(tree.path("mnt/backup/sub")), tree.path("mnt/backup"));
  EXPECT_EQ(withTable.unmountedMountPointOf(tree.path("mnt/my drive")), tree.path("mnt/my drive"));
  tree.link("via", tree.path("mnt/backup"));
  EXPECT_EQ(withTable.unmountedMountPointOf(tree.path("via")), tree.path("mnt/backup"));
  EXPECT_EQ(withTable.unmountedMountPointOf(tree.path("mnt")), std::nullopt);
  EXPECT_EQ(withTable.unmountedMountPointOf(tree.path("mnt/backupx")), std::nullopt);

  const std::string point = tree.path("mnt/backup");
  if (auto whyNot = testkit::mountTmpfs(point, 1 << 20); !whyNot.empty()) GTEST_SKIP() << whyNot;
  EXPECT_EQ(withTable.unmountedMountPointOf(point), std::nullopt);
  // A file system mounted deeper is not the drive meant for the folder;
  // what lies on it is on a mounted one all the same.
  ASSERT_EQ(testkit::unmount(point), "");
  ASSERT_EQ(testkit::mountTmpfs(point + "/sub", 1 << 20), "");
  EXPECT_EQ(withTable.unmountedMountPointOf(point), point);
  EXPECT_EQ(withTable.unmountedMountPointOf(point + "/sub"), std::nullopt);
  EXPECT_EQ(testkit::unmount(point + "/sub"), "");
}

}  // namespace
}  // namespace tavro
