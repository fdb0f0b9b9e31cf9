// Files of Linux and the other POSIX systems, opened for reading and for
// writing.
#include "platform/posix_files.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace tavro::posix {

namespace {

EntryKind kindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Folder;
  if (S_ISLNK(mode)) return EntryKind::Link;
  return EntryKind::Special;
}

// The attributes a copy carries: the user's own, and the access control
// lists. Security labels and the administrator's "trusted" namespace belong
// to the system the file lives on.
bool copiedAttribute(const char* name) {
  return std::strncmp(name, "user.", 5) == 0 || std::strcmp(name, "system.posix_acl_access") == 0 ||
         std::strcmp(name, "system.posix_acl_default") == 0;
}

// Asks `get` for a value, growing the buffer as long as it is too small.
template <class Get>
Result<std::vector<char>> readGrowing(Get get) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = get(buffer.data(), buffer.size());
    if (n >= 0) {
      buffer.resize(static_cast<std::size_t>(n));
      return Result<std::vector<char>>::of(std::move(buffer));
    }
    if (errno != ERANGE) return Result<std::vector<char>>::failure(errno);
    const ssize_t needed = get(nullptr, 0);
    if (needed < 0) return Result<std::vector<char>>::failure(errno);
    buffer.resize(static_cast<std::size_t>(needed) + 256);
  }
}

class PosixInputFile final : public InputFile {
 public:
  // `opened` is what the file was when it was opened: copies take that
  // time, and what changes after it is caught by the next run.
  PosixInputFile(int fd, const struct stat& opened) : fd_(fd), opened_(opened) {}
  int fd() const { return fd_.get(); }

  // Whether fewer blocks are allocated than the size needs: only then is it
  // worth asking where the data lies.
  bool mayHaveHoles() const {
    return static_cast<std::int64_t>(opened_.st_blocks) * 512 <
           static_cast<std::int64_t>(opened_.st_size);
  }

  Result<std::size_t> read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, size);
      if (n >= 0) return Result<std::size_t>::of(static_cast<std::size_t>(n));
      if (errno != EINTR) return Result<std::size_t>::failure(errno);
    }
  }

  Result<EntryInfo> info() override { return Result<EntryInfo>::of(infoOf(opened_)); }

 private:
  Descriptor fd_;
  struct stat opened_;
};

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  // An unnamed file of `folder`, to be published as `name`.
  PosixOutputFile(int fd, std::shared_ptr<Descriptor> folder, std::string name)
      : fd_(fd), folder_(std::move(folder)), name_(std::move(name)) {}

  Result<std::size_t> write(const char* data, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::write(fd_.get(), data, size);
      if (n >= 0) return Result<std::size_t>::of(static_cast<std::size_t>(n));
      if (errno != EINTR) return Result<std::size_t>::failure(errno);
    }
  }

  // Holes of a sparse source stay holes: they are skipped on both sides and
  // counted as moved, so the gauge still reaches the file's size.
  Result<std::size_t> copyFrom(InputFile& source, std::size_t limit) override {
    auto* posix = dynamic_cast<PosixInputFile*>(&source);
    if (posix == nullptr) return OutputFile::copyFrom(source, limit);
    if (!started_) {
      started_ = true;
      if (!posix->mayHaveHoles()) dataEnd_ = kNoEnd;
    }
    if (position_ >= dataEnd_) {
      const auto skipped = skipHole(posix->fd());
      if (!skipped.ok() || skipped.value > 0) return skipped;
    }
    if (position_ >= dataEnd_) return Result<std::size_t>::of(0);
    limit = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(limit), dataEnd_ - position_));
    const auto moved = copyData(*posix, limit);
    if (moved.ok()) position_ += static_cast<std::int64_t>(moved.value);
    return moved;
  }

  Status resize(std::int64_t size) override {
    return ::ftruncate(fd_.get(), size) == 0 ? Status::success() : Status::failure(errno);
  }

  Status setMode(FileMode mode) override {
    return ::fchmod(fd_.get(), mode) == 0 ? Status::success() : Status::failure(errno);
  }

  Status setOwner(UserId owner, GroupId group) override {
    return statusOf(::fchown(fd_.get(), owner, group));
  }

  Status setModified(timespec modified) override {
    const auto times = lastWriteTimes(modified);
    return statusOf(::futimens(fd_.get(), times.data()));
  }

  Result<EntryInfo> info() override { return infoOfDescriptor(fd_.get()); }

  Status copyAttributesFrom(InputFile& source) override {
    auto* posix = dynamic_cast<PosixInputFile*>(&source);
    if (posix == nullptr) return Status::failure(EINVAL);
    return copyAttributes(posix->fd(), fd_.get());
  }

  // Linked in by its descriptor where the system allows it (the
  // administrator may), else through its name in /proc.
  Status publish() override {
    if (!folder_) return Status::failure(EINVAL);
    static std::atomic<bool> byDescriptor = true;
    if (byDescriptor) {
      if (::linkat(fd_.get(), "", folder_->get(), name_.c_str(), AT_EMPTY_PATH) == 0) {
        return Status::success();
      }
      if (errno != ENOENT && errno != EPERM && errno != EINVAL) return Status::failure(errno);
      byDescriptor = false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    return statusOf(
        ::linkat(AT_FDCWD, self.c_str(), folder_->get(), name_.c_str(), AT_SYMLINK_FOLLOW));
  }

  Status sync() override {
    return ::fdatasync(fd_.get()) == 0 ? Status::success() : Status::failure(errno);
  }

  Status close() override {
    const int fd = fd_.release();
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) return Status::failure(errno);
    return Status::success();
  }

 private:
  static constexpr std::int64_t kNoEnd = INT64_MAX;

  Result<std::size_t> copyData(PosixInputFile& source, std::size_t limit) {
    while (inKernel_) {
      const ssize_t n = ::copy_file_range(source.fd(), nullptr, fd_.get(), nullptr, limit, 0);
      if (n >= 0) return Result<std::size_t>::of(static_cast<std::size_t>(n));
      if (errno == EINTR) continue;
      // File systems that cannot copy in the kernel say so on the first call,
      // before any byte has moved; the plain loop takes over from there.
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return Result<std::size_t>::failure(errno);
      }
      inKernel_ = false;
    }
    return OutputFile::copyFrom(source, limit);
  }

  // Finds the next stretch of data from the current position. A hole before
  // it is passed over on both sides and its length returned; 0 when the data
  // starts here (or the file system cannot tell, which makes all of it data)
  // and at the end of the file. A hole at the end is made by setting the size.
  Result<std::size_t> skipHole(int in) {
    auto failed = [] { return Result<std::size_t>::failure(errno); };
    const off_t data = ::lseek(in, position_, SEEK_DATA);
    off_t to = data;
    if (data < 0 && errno == ENXIO) {
      struct stat st;
      if (::fstat(in, &st) != 0) return failed();
      if (st.st_size <= position_) return Result<std::size_t>::of(0);
      if (::ftruncate(fd_.get(), st.st_size) != 0) return failed();
      to = st.st_size;
      dataEnd_ = st.st_size;
    } else if (data < 0) {
      dataEnd_ = kNoEnd;
      to = position_;
    } else {
      const off_t hole = ::lseek(in, data, SEEK_HOLE);
      dataEnd_ = hole < 0 ? kNoEnd : hole;
    }
    // The probes moved the source's position; both files go on from `to`.
    if (::lseek(in, to, SEEK_SET) < 0 || ::lseek(fd_.get(), to, SEEK_SET) < 0) return failed();
    const auto skipped = static_cast<std::size_t>(to - position_);
    position_ = to;
    return Result<std::size_t>::of(skipped);
  }

  Descriptor fd_;
  std::shared_ptr<Descriptor> folder_;  // of an unnamed file: where it is published
  std::string name_;
  bool inKernel_ = true;
  bool started_ = false;
  std::int64_t position_ = 0;
  std::int64_t dataEnd_ = 0;  // where the stretch of data being copied ends
};

}  // namespace

EntryInfo infoOf(const struct stat& st) {
  EntryInfo info;
  info.kind = kindOfMode(st.st_mode);
  info.size = st.st_size;
  info.modified = st.st_mtim;
  info.mode = st.st_mode & 07777;
  info.inode = st.st_ino;
  info.owner = st.st_uid;
  info.group = st.st_gid;
  return info;
}

Status statusOf(int result) { return result == 0 ? Status::success() : Status::failure(errno); }

Result<EntryInfo> infoOfDescriptor(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return Result<EntryInfo>::failure(errno);
  return Result<EntryInfo>::of(infoOf(st));
}

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

Status copyAttributes(int from, int to) {
  const auto names =
      readGrowing([from](char* b, std::size_t n) { return ::flistxattr(from, b, n); });
  if (!names.ok())
    return unsupported(names.error) ? Status::success() : Status::failure(names.error);
  int firstFailure = 0;
  const std::vector<char>& list = names.value;
  for (std::size_t at = 0; at < list.size(); at += std::strlen(list.data() + at) + 1) {
    const char* name = list.data() + at;
    if (!copiedAttribute(name)) continue;
    const auto value =
        readGrowing([from, name](char* b, std::size_t n) { return ::fgetxattr(from, name, b, n); });
    if (!value.ok()) {
      if (value.error != ENODATA && firstFailure == 0) firstFailure = value.error;
      continue;
    }
    if (::fsetxattr(to, name, value.value.data(), value.value.size(), 0) != 0 &&
        !unsupported(errno) && firstFailure == 0) {
      firstFailure = errno;
    }
  }
  return firstFailure == 0 ? Status::success() : Status::failure(firstFailure);
}

std::array<timespec, 2> lastWriteTimes(timespec modified) {
  return {timespec{0, UTIME_NOW}, modified};
}

std::unique_ptr<InputFile> inputFile(int fd, const struct stat& opened) {
  return std::make_unique<PosixInputFile>(fd, opened);
}

std::unique_ptr<OutputFile> outputFile(int fd) { return std::make_unique<PosixOutputFile>(fd); }

std::unique_ptr<OutputFile> unnamedOutputFile(int fd, std::shared_ptr<Descriptor> folder,
                                              std::string name) {
  return std::make_unique<PosixOutputFile>(fd, std::move(folder), std::move(name));
}

}  // namespace tavro::posix

namespace tavro {

std::string systemReason(int error) {
  char buffer[256];
  // The GNU strerror_r may return a static string instead of filling buffer.
  return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace tavro
