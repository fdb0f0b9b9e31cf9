// The Windows file system on real folders (under wine here): links never
// followed, read-only copies, files other programs hold open, names.
#include <gtest/gtest.h>

#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/windows_text.h"
#include "testing/temp_tree.h"

namespace tavro {
namespace {

// A folder of the test's own, with Windows paths (backslashes), removed
// afterwards.
class WindowsFileSystemTest : public ::testing::Test {
 protected:
  std::string path(const std::string& relative = "") const {
    std::string whole = tree.path(relative);
    std::replace(whole.begin(), whole.end(), '/', '\\');
    return whole;
  }
  void write(const std::string& relative, const std::string& contents) {
    tree.file(relative, contents);
  }
  std::string read(const std::string& relative) const { return tree.read(relative); }
  bool exists(const std::string& relative) const { return tree.exists(relative); }
  void makeReadOnly(const std::string& relative) { tree.setMode(relative, 0444); }
  std::unique_ptr<Folder> open(const std::string& relative = "") {
    auto folder = system.openFolder(path(relative));
    EXPECT_TRUE(folder.ok()) << systemReason(folder.error);
    return std::move(folder.value);
  }
  // "" or why no link could be made here.
  std::string link(const std::string& relative, const std::string& text) {
    try {
      tree.link(relative, text);
      return "";
    } catch (const std::exception& failed) {
      return failed.what();
    }
  }

  // Makes `relative` a junction (a mount-point reparse point) to the folder
  // `target`; "" or why not.
  std::string junction(const std::string& relative, const std::string& target) {
    tree.folder(relative);
    const std::wstring at = windows::wide(path(relative));
    HANDLE handle =
        ::CreateFileW(at.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "cannot open " + relative;
    // The reparse data: the tag, the mount point's two names (the NT one,
    // then the one to print), each ended by a zero.
    const std::wstring shown = windows::wide(target), nt = L"\\??\\" + shown;
    const auto ntBytes = static_cast<WORD>(nt.size() * 2);
    const auto shownBytes = static_cast<WORD>(shown.size() * 2);
    std::vector<BYTE> data(16 + ntBytes + 2 + shownBytes + 2);
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD header[6] = {static_cast<WORD>(data.size() - 8), 0,         0, ntBytes,
                            static_cast<WORD>(ntBytes + 2),     shownBytes};
    std::memcpy(data.data(), &tag, 4);
    std::memcpy(data.data() + 4, header, sizeof header);
    std::memcpy(data.data() + 16, nt.data(), ntBytes);
    std::memcpy(data.data() + 16 + ntBytes + 2, shown.data(), shownBytes);
    DWORD returned = 0;
    const bool made =
        ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(),
                          static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (made) return "";
    return "no junction could be made here (error " + std::to_string(error) + ")" +
           (error == ERROR_NOT_SUPPORTED ? ": wine makes none" : "");
  }

  testkit::TempTree tree;
  WindowsFileSystem system;
};

#define LINK_OR_SKIP(relative, text) \
  if (const std::string whyNot = link(relative, text); !whyNot.empty()) GTEST_SKIP() << whyNot

TEST_F(WindowsFileSystemTest, LinksBelowTheGivenFolderAreNeverFollowedNorChangedThrough) {
  write("outside/secret", "s");
  write("inside/own.txt", "o");
  LINK_OR_SKIP("inside/to-outside", path("outside"));
  LINK_OR_SKIP("inside/to-secret", path("outside/secret"));
  auto inside = open("inside");

  EXPECT_EQ(inside->openFolder("to-outside").error, ELOOP);
  EXPECT_EQ(inside->openFile("to-secret").error, ELOOP);
  EXPECT_EQ(inside->stat("to-secret").value.kind, EntryKind::Link);
  EXPECT_EQ(inside->stat("to-outside").value.kind, EntryKind::Link);
  EXPECT_FALSE(inside->openToRewrite("to-secret").ok());
  EXPECT_FALSE(inside->appendFile("to-secret").ok());
  EXPECT_FALSE(inside->removeFolder("to-outside").ok());
  EXPECT_FALSE(inside->rename("to-secret", "renamed").ok());
  auto history = open();
  EXPECT_FALSE(inside->moveTo("to-outside", *history, "moved").ok());
  (void)inside->setLinkTime("to-secret", timespec{1, 0});
  EXPECT_NE(tree.time("outside/secret").tv_sec, 1) << "the link's time went to what it leads to";

  EXPECT_EQ(read("outside/secret"), "s");
  EXPECT_TRUE(exists("outside"));
  EXPECT_FALSE(exists("renamed"));
  EXPECT_FALSE(exists("moved"));
  // The whole path the user gave may pass through links.
  EXPECT_TRUE(system.openFolder(path("inside/to-outside")).ok());
}

// A junction, which any user may make, is a link like any other.
TEST_F(WindowsFileSystemTest, AJunctionIsNeverEnteredNorDeletedThrough) {
  write("outside/secret", "s");
  tree.folder("inside");
  if (const std::string whyNot = junction("inside/junction", path("outside")); !whyNot.empty()) {
    GTEST_SKIP() << whyNot;
  }
  auto inside = open("inside");
  EXPECT_EQ(inside->stat("junction").value.kind, EntryKind::Link);
  EXPECT_EQ(inside->openFolder("junction").error, ELOOP);
  EXPECT_FALSE(inside->removeFolder("junction").ok());
  auto listing = inside->list();
  ASSERT_TRUE(listing.ok());
  ListedEntry entry;
  ASSERT_TRUE(listing.value->next(entry, nullptr));
  EXPECT_EQ(entry.kind, EntryKind::Link);
  EXPECT_EQ(read("outside/secret"), "s");
}

TEST_F(WindowsFileSystemTest, AFolderSwappedForALinkAfterItWasListedIsNotEntered) {
  write("source/sub/a.txt", "a");
  write("elsewhere/private.txt", "p");
  auto source = open("source");
  auto listing = source->list();
  ASSERT_TRUE(listing.ok());
  ListedEntry entry;
  ASSERT_TRUE(listing.value->next(entry, nullptr));
  ASSERT_EQ(entry.name, "sub");
  ASSERT_EQ(entry.kind, EntryKind::Folder);

  ASSERT_TRUE(source->moveTo("sub", *open(), "moved-away").ok());
  LINK_OR_SKIP("source/sub", path("elsewhere"));
  EXPECT_EQ(source->openFolder("sub").error, ELOOP);
  EXPECT_FALSE(source->removeFolder("sub").ok());
  EXPECT_EQ(read("elsewhere/private.txt"), "p");
}

// The read-only attribute comes from the source; it must not keep the backup
// from replacing its copy, removing it or moving it into the history.
TEST_F(WindowsFileSystemTest, AReadOnlyCopyIsReplacedRemovedAndMovedAway) {
  write("pair/replaced.txt", "old");
  write("pair/removed.txt", "old");
  write("pair/kept-in-history.txt", "old");
  write("pair/new.txt", "new");
  for (const char* name : {"pair/replaced.txt", "pair/removed.txt", "pair/kept-in-history.txt"}) {
    makeReadOnly(name);
  }
  auto pair = open("pair");
  auto history = open();
  EXPECT_EQ(pair->stat("replaced.txt").value.mode & 0222, 0u);

  ASSERT_TRUE(pair->rename("new.txt", "replaced.txt").ok());
  EXPECT_EQ(read("pair/replaced.txt"), "new");
  ASSERT_TRUE(pair->removeFile("removed.txt").ok());
  EXPECT_FALSE(exists("pair/removed.txt"));
  ASSERT_TRUE(pair->moveTo("kept-in-history.txt", *history, "kept.txt").ok());
  EXPECT_EQ(read("kept.txt"), "old");
  // Moving never replaces.
  write("pair/again.txt", "x");
  EXPECT_EQ(pair->moveTo("again.txt", *history, "kept.txt").error, EEXIST);
}

// Windows compares names without regard to case: the source's new case must
// reach the copy, which is the same entry under either name.
TEST_F(WindowsFileSystemTest, ANameChangesItsLetterCaseInPlace) {
  write("Foo.txt", "f");
  auto folder = open();
  EXPECT_EQ(folder->stat("FOO.TXT").value.inode, folder->stat("Foo.txt").value.inode);
  ASSERT_TRUE(folder->rename("Foo.txt", "foo.txt").ok());
  auto again = folder->openFolder(".");
  ASSERT_TRUE(again.ok());
  auto listing = again.value->list();
  ListedEntry entry;
  std::set<std::string> names;
  while (listing.value->next(entry, nullptr)) names.insert(entry.name);
  EXPECT_EQ(names, std::set<std::string>{"foo.txt"});
  EXPECT_EQ(read("foo.txt"), "f");
}

TEST_F(WindowsFileSystemTest, CopiesCarryTimeToTheTickTheReadOnlyAttributeAndTheHiddenMark) {
  write("in.txt", std::string(300000, 'q'));
  ASSERT_TRUE(::SetFileAttributesW(windows::wide(path("in.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN));
  auto folder = open();
  auto input = folder->openFile("in.txt");
  auto output = folder->createFile("out.txt");
  ASSERT_TRUE(input.ok() && output.ok());
  while (true) {
    auto moved = output.value->copyFrom(*input.value, 1 << 16);
    ASSERT_TRUE(moved.ok());
    if (moved.value == 0) break;
  }
  ASSERT_TRUE(output.value->setModified(timespec{1000000000, 123456700}).ok());
  ASSERT_TRUE(output.value->setMode(0444).ok());
  ASSERT_TRUE(output.value->copyAttributesFrom(*input.value).ok());
  ASSERT_TRUE(output.value->close().ok());
  const DWORD marks = ::GetFileAttributesW(windows::wide(path("out.txt")).c_str());
  EXPECT_TRUE((marks & FILE_ATTRIBUTE_HIDDEN) && (marks & FILE_ATTRIBUTE_READONLY)) << marks;
  const auto info = folder->stat("out.txt");
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info.value.size, 300000);
  EXPECT_EQ(info.value.modified.tv_sec, 1000000000);
  EXPECT_EQ(info.value.modified.tv_nsec, 123456700);
  EXPECT_EQ(info.value.mode & 0222, 0u);
  EXPECT_EQ(folder->createFile("out.txt").error, EEXIST);
}

TEST_F(WindowsFileSystemTest, AFileHeldWithoutSharingFailsWithTheSystemsReasonOthersAreRead) {
  write("locked.txt", "l");
  write("shared.txt", "s");
  HANDLE holder = ::CreateFileW(windows::wide(path("locked.txt")).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HANDLE writer = ::CreateFileW(windows::wide(path("shared.txt")).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  auto folder = open();
  const auto locked = folder->openFile("locked.txt");
  const auto shared = folder->openFile("shared.txt");
  ::CloseHandle(holder);
  ::CloseHandle(writer);
  EXPECT_FALSE(locked.ok());
  EXPECT_FALSE(systemReason(locked.error).empty());
  EXPECT_NE(systemReason(locked.error), systemReason(EACCES));
  EXPECT_TRUE(shared.ok()) << systemReason(shared.error);
}

TEST_F(WindowsFileSystemTest, CzechNamesAndPathsBeyondTheOld260CharacterLimit) {
  auto folder = open();
  std::string deep = path();
  std::unique_ptr<Folder> at = open();
  const std::string level(50, 'x');
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(at->makeFolder(level, 0755).ok());
    at = std::move(at->openFolder(level).value);
    ASSERT_NE(at, nullptr);
    deep = joinPath(deep, level);
  }
  ASSERT_GT(deep.size(), 300u);
  auto made = at->createFile("Účty žluťoučký.txt");
  ASSERT_TRUE(made.ok()) << systemReason(made.error);
  ASSERT_TRUE(writeAll(*made.value, "kůň").ok());
  ASSERT_TRUE(made.value->close().ok());

  auto reopened = system.openFolder(deep);
  ASSERT_TRUE(reopened.ok()) << systemReason(reopened.error);
  auto listing = reopened.value->list();
  ListedEntry entry;
  ASSERT_TRUE(listing.value->next(entry, nullptr));
  EXPECT_EQ(entry.name, "Účty žluťoučký.txt");
  EXPECT_EQ(entry.kind, EntryKind::File);
  EXPECT_EQ(reopened.value->path(), deep);
  EXPECT_EQ(reopened.value->pathOf(entry.name), deep + "\\Účty žluťoučký.txt");
  EXPECT_TRUE(folderExists(system, deep));
}

TEST_F(WindowsFileSystemTest, PathsKeepTheirSeparatorsAndResolveToTheRealFolder) {
  write("Data/f.txt", "x");
  EXPECT_EQ(joinPath("C:\\Data", "f.txt"), "C:\\Data\\f.txt");
  EXPECT_EQ(joinPath("C:/Data", "f.txt"), "C:/Data/f.txt");
  EXPECT_EQ(splitPath("C:\\f.txt").folder, "C:\\");
  EXPECT_EQ(withoutTrailingSeparators("C:\\Data\\\\"), "C:\\Data");
  EXPECT_EQ(withoutTrailingSeparators("C:\\"), "C:\\");
  EXPECT_TRUE(isSameOrInside("C:\\Data\\x", "C:\\"));
  EXPECT_FALSE(isSameOrInside("C:\\Database", "C:\\Data"));

  const std::string real = system.resolve(path("Data"));
  EXPECT_EQ(system.resolve(path("Data/../Data/./missing\\more")), real + "\\missing\\more");
  EXPECT_TRUE(isSameOrInside(system.resolve(path("Data\\f.txt")), real));
}

}  // namespace
}  // namespace tavro
