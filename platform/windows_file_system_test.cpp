// The Windows file system on real folders (under wine here): links never
// followed, read-only copies, files other programs hold open, names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "platform/file_system.h"
#include "platform/windows_text.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed afterwards.
class WindowsFileSystemTest : public ::testing::Test {
 protected:
  WindowsFileSystemTest() {
    root_ = fs::temp_directory_path() / ("tavro-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_);
  }
  ~WindowsFileSystemTest() override {
    // Wine takes a Unix link for the folder it leads to, and removing the
    // tree would remove what the link leads to: Unix removes it there.
    if (const std::wstring unixRoot = unixPathOf(root_.wstring()); !unixRoot.empty()) {
      runUnix(L"/bin/rm -rf " + unixRoot, [&] { return !fs::exists(root_); });
      return;
    }
    std::error_code ignored;
    // Read-only entries would stay behind.
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(root_, ignored);
  }

  std::string path(const std::string& relative = "") const {
    return relative.empty() ? windows::narrow(root_.wstring())
                            : windows::narrow((root_ / windows::wide(relative)).wstring());
  }
  void write(const std::string& relative, const std::string& contents) {
    const fs::path at = windows::wide(path(relative));
    fs::create_directories(at.parent_path());
    std::ofstream(at, std::ios::binary) << contents;
  }
  std::string read(const std::string& relative) const {
    std::ifstream in(fs::path(windows::wide(path(relative))), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool exists(const std::string& relative) const {
    return ::GetFileAttributesW(windows::wide(path(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void makeReadOnly(const std::string& relative) {
    ASSERT_TRUE(
        ::SetFileAttributesW(windows::wide(path(relative)).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  std::unique_ptr<Folder> open(const std::string& relative = "") {
    auto folder = system.openFolder(path(relative));
    EXPECT_TRUE(folder.ok()) << systemReason(folder.error);
    return std::move(folder.value);
  }

  // The Unix path of a path under wine; "" elsewhere.
  static std::wstring unixPathOf(const std::wstring& windowsPath) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return {};
    char* unixPath = unixName(windowsPath.c_str());
    if (unixPath == nullptr) return {};
    std::wstring result = windows::wide(unixPath);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
  }

  // Runs a Unix program under wine, which hands it its words as they are,
  // without quoting. A Unix process cannot be waited for from wine: waits
  // up to two seconds for `done`.
  static bool runUnix(std::wstring command, const std::function<bool()>& done) {
    const std::wstring program = L"Z:" + command.substr(0, command.find(L' '));
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &start, &process)) {
      return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    for (int i = 0; i < 100 && !done(); ++i) ::Sleep(20);
    return done();
  }

  // A symbolic link `relative` to `text`. Windows makes one with developer
  // mode or the privilege. Wine makes none (its call answers yes and does
  // nothing), but a Unix link is what wine's users meet, and it shows them
  // as the folders or files they lead to. "" or why no link could be made.
  std::string link(const std::string& relative, const std::string& text) {
    const std::wstring at = windows::wide(path(relative));
    const std::wstring linkPath = unixPathOf(at);
    if (linkPath.empty()) {
      const bool folder = fs::is_directory(fs::path(at).parent_path() / windows::wide(text));
      if (!::CreateSymbolicLinkW(at.c_str(), windows::wide(text).c_str(),
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE |
                                     (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0))) {
        return "Windows made no symbolic link (error " + std::to_string(::GetLastError()) +
               "): it needs developer mode or the privilege";
      }
      return "";
    }
    const std::wstring linkText = unixPathOf(windows::wide(text));
    if (linkText.empty()) return "wine gives no Unix name for " + text;
    return runUnix(L"/bin/ln -s " + linkText + L" " + linkPath, [&] { return exists(relative); })
               ? ""
               : "/bin/ln made no link";
  }

  fs::path root_;
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
  EXPECT_NE(fs::last_write_time(fs::path(windows::wide(path("outside/secret")))),
            fs::last_write_time(fs::path(windows::wide(path("inside/own.txt")))) -
                std::chrono::hours(24 * 365 * 50))
      << "the link's time went to what it leads to";

  EXPECT_EQ(read("outside/secret"), "s");
  EXPECT_TRUE(exists("outside"));
  EXPECT_FALSE(exists("renamed"));
  EXPECT_FALSE(exists("moved"));
  // The whole path the user gave may pass through links.
  EXPECT_TRUE(system.openFolder(path("inside/to-outside")).ok());
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

  fs::rename(windows::wide(path("source/sub")), windows::wide(path("moved-away")));
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

TEST_F(WindowsFileSystemTest, CopiesCarryTimeToTheTickAndTheReadOnlyAttribute) {
  write("in.txt", std::string(300000, 'q'));
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
  ASSERT_TRUE(output.value->close().ok());
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
