#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace tavro::testkit {

// A temporary folder that tests fill from literals and read back; removed,
// with everything in it, when the object goes. Paths are UTF-8 with "/"
// between names, on Windows too.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  // The whole path of a path relative to the root ("" gives the root).
  std::string path(const std::string& relative) const;

  // Writes a file, creating the folders it needs, and returns its whole path.
  std::string file(const std::string& relative, const std::string& contents = "");
  std::string folder(const std::string& relative);
  std::string link(const std::string& relative, const std::string& text);
  std::string fifo(const std::string& relative);

  // Last-write time in universal seconds (and nanoseconds).
  void setTime(const std::string& relative, std::time_t seconds, long nanoseconds = 0);
  timespec time(const std::string& relative) const;
  unsigned mode(const std::string& relative) const;
  void setMode(const std::string& relative, unsigned mode);

  bool exists(const std::string& relative) const;  // never follows a link
  bool isFolder(const std::string& relative) const;
  bool isLink(const std::string& relative) const;
  std::string read(const std::string& relative) const;
  std::string readLink(const std::string& relative) const;
  void remove(const std::string& relative);  // a file, a link or a whole folder

  // Every entry below `relative`, as sorted relative paths; folders end in "/",
  // links in "@".
  std::vector<std::string> listing(const std::string& relative = "") const;

 private:
  static void check(bool ok, const std::string& what);

  std::string root_;
};

// Why a test of this system cannot put symbolic links or FIFOs into a tree
// and have them copied as such; "" where it can. Windows keeps its own
// tests of links.
std::string whyNoLinks();
std::string whyNoFifos();

}  // namespace tavro::testkit
