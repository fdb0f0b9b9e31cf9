#include "testing/temp_tree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "testing/native_path.h"

namespace tavro::testkit {

namespace fs = std::filesystem;

void TempTree::check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("TempTree: " + what);
}

std::string TempTree::path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string TempTree::file(const std::string& relative, const std::string& contents) {
  const fs::path full = nativePath(path(relative));
  fs::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << contents;
  check(out.good(), "write " + path(relative));
  return path(relative);
}

std::string TempTree::folder(const std::string& relative) {
  fs::create_directories(nativePath(path(relative)));
  return path(relative);
}

std::string TempTree::read(const std::string& relative) const {
  std::ifstream in(nativePath(path(relative)), std::ios::binary);
  check(in.good(), "read " + relative);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::vector<std::string> TempTree::listing(const std::string& relative) const {
  std::vector<std::string> entries;
  const fs::path top = nativePath(path(relative));
  for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator();
       ++it) {
    std::string name = utf8Path(it->path().lexically_relative(top));
    const std::string inTree = relative.empty() ? name : relative + "/" + name;
    if (isLink(inTree)) {
      name += "@";
      it.disable_recursion_pending();  // wine would walk a Unix link
    } else if (isFolder(inTree)) {
      name += "/";
    }
    entries.push_back(name);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace tavro::testkit
