#include "testing/temp_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavro::testkit {

namespace fs = std::filesystem;

namespace {

void check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("TempTree: " + what);
}

}  // namespace

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "tavro-test-XXXXXX").string();
  check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TempTree::path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string TempTree::file(const std::string& relative, const std::string& contents) {
  const fs::path full = path(relative);
  fs::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << contents;
  check(out.good(), "write " + full.string());
  return full.string();
}

std::string TempTree::folder(const std::string& relative) {
  fs::create_directories(path(relative));
  return path(relative);
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

std::string TempTree::read(const std::string& relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  check(in.good(), "read " + relative);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::string TempTree::readLink(const std::string& relative) const {
  return fs::read_symlink(path(relative)).string();
}

void TempTree::remove(const std::string& relative) { fs::remove_all(path(relative)); }

std::vector<std::string> TempTree::listing(const std::string& relative) const {
  std::vector<std::string> entries;
  const fs::path top = path(relative);
  for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
       ++it) {
    std::string name = it->path().lexically_relative(top).string();
    if (it->is_symlink()) {
      name += "@";
    } else if (it->is_directory()) {
      name += "/";
    }
    entries.push_back(name);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace tavro::testkit
