// What the POSIX folders and files share: included only by the
// platform's posix_*.cpp files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "platform/file_system.h"

namespace tavro::posix {

// A descriptor that closes itself.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

EntryInfo infoOf(const struct stat& st);
Result<EntryInfo> infoOfDescriptor(int fd);
// 0 as success, anything else as errno's failure.
Status statusOf(int result);
bool unsupported(int error);
// The extended attributes a copy carries, and the access control lists,
// from one open file or folder to another.
Status copyAttributes(int from, int to);
// The times to give an entry whose last-write time is `modified`. Its
// access time becomes now, as writing it just did anyway: some FUSE drivers
// (fusefat) drop a last-write time that comes without an access time.
std::array<timespec, 2> lastWriteTimes(timespec modified);

// A regular file opened for reading; `opened` is what it was when opened.
std::unique_ptr<InputFile> inputFile(int fd, const struct stat& opened);
// A file opened for writing.
std::unique_ptr<OutputFile> outputFile(int fd);
// An unnamed file of `folder`, to be published as `name`.
std::unique_ptr<OutputFile> unnamedOutputFile(int fd, std::shared_ptr<Descriptor> folder,
                                              std::string name);

}  // namespace tavro::posix
