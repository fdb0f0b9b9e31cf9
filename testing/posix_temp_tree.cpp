// The parts of the temporary trees that are the system's own, on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "testing/native_path.h"
#include "testing/temp_tree.h"

namespace tavro::testkit {

namespace fs = std::filesystem;

fs::path nativePath(const std::string& utf8) { return fs::path(utf8); }
std::string utf8Path(const fs::path& path) { return path.string(); }

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "tavro-test-XXXXXX").string();
  check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TempTree::link(const std::string& relative, const std::string& text) {
  const fs::path full = path(relative);
  fs::create_directories(full.parent_path());
  check(::symlink(text.c_str(), full.c_str()) == 0, "symlink " + full.string());
  return full.string();
}

std::string TempTree::fifo(const std::string& relative) {
  const fs::path full = path(relative);
  fs::create_directories(full.parent_path());
  check(::mkfifo(full.c_str(), 0644) == 0, "mkfifo " + full.string());
  return full.string();
}

void TempTree::setTime(const std::string& relative, std::time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  check(::utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0,
        "utimensat " + relative);
}

timespec TempTree::time(const std::string& relative) const {
  struct stat st;
  check(::lstat(path(relative).c_str(), &st) == 0, "lstat " + relative);
  return st.st_mtim;
}

unsigned TempTree::mode(const std::string& relative) const {
  struct stat st;
  check(::lstat(path(relative).c_str(), &st) == 0, "lstat " + relative);
  return st.st_mode & 07777;
}

void TempTree::setMode(const std::string& relative, unsigned mode) {
  check(::chmod(path(relative).c_str(), mode) == 0, "chmod " + relative);
}

bool TempTree::exists(const std::string& relative) const {
  struct stat st;
  return ::lstat(path(relative).c_str(), &st) == 0;
}

bool TempTree::isFolder(const std::string& relative) const {
  struct stat st;
  return ::lstat(path(relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool TempTree::isLink(const std::string& relative) const {
  struct stat st;
  return ::lstat(path(relative).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string TempTree::readLink(const std::string& relative) const {
  return fs::read_symlink(path(relative)).string();
}

void TempTree::remove(const std::string& relative) { fs::remove_all(path(relative)); }

std::string whyNoLinks() { return ""; }
std::string whyNoFifos() { return ""; }

}  // namespace tavro::testkit
