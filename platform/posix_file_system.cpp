// The file system of Linux and the other POSIX systems.
#include "platform/file_system.h"

#include "platform/posix_files.h"
#include "platform/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace tavro {

namespace {

using posix::copyAttributes;
using posix::Descriptor;
using posix::infoOf;
using posix::infoOfDescriptor;
using posix::lastWriteTimes;
using posix::statusOf;
using posix::unsupported;

// File systems found not to make unnamed files (vfat, exFAT, network ones):
// asked once per device, not once per file.
std::mutex noUnnamedFilesGuard;
std::set<VolumeId> noUnnamedFiles;

EntryKind kindOfDirent(unsigned char type) {
  switch (type) {
    case DT_REG: return EntryKind::File;
    case DT_DIR: return EntryKind::Folder;
    case DT_LNK: return EntryKind::Link;
    case DT_UNKNOWN: return EntryKind::Unknown;
    default: return EntryKind::Special;
  }
}

// Reads the folder's own descriptor with getdents64: no second descriptor
// and no stdio-like stream per folder, which matters on trees of many small
// folders. The lookups relative to the descriptor do not use its position.
class PosixListing final : public Listing {
 public:
  explicit PosixListing(int fd)
      : fd_(fd), buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}

  bool next(ListedEntry& entry, int* error) override {
    for (;;) {
      if (offset_ >= filled_) {
        const ssize_t n = ::getdents64(fd_, buffer_.get(), kBufferSize);
        if (n <= 0) {
          if (n < 0 && error) *error = errno;
          return false;
        }
        filled_ = static_cast<std::size_t>(n);
        offset_ = 0;
      }
      const auto* d = reinterpret_cast<const dirent64*>(buffer_.get() + offset_);
      offset_ += d->d_reclen;
      if (d->d_name[0] == '.' &&
          (d->d_name[1] == '\0' || (d->d_name[1] == '.' && d->d_name[2] == '\0'))) {
        continue;
      }
      entry.name.assign(d->d_name);
      entry.kind = kindOfDirent(d->d_type);
      return true;
    }
  }

 private:
  static constexpr std::size_t kBufferSize = 32 * 1024;
  int fd_;
  std::unique_ptr<char[]> buffer_;
  std::size_t filled_ = 0;
  std::size_t offset_ = 0;
};

class PosixFolder final : public Folder {
 public:
  PosixFolder(std::string path, int fd)
      : Folder(std::move(path)), fd_(std::make_shared<Descriptor>(fd)) {}
  int fd() const { return fd_->get(); }

  FolderId id() const override {
    if (!id_) {
      struct stat st;
      id_ = ::fstat(fd(), &st) == 0 ? FolderId{st.st_dev, st.st_ino} : FolderId{};
    }
    return *id_;
  }

  // One listing at a time per folder: each starts from the beginning.
  Result<std::unique_ptr<Listing>> list() override {
    if (listed_ && ::lseek(fd(), 0, SEEK_SET) != 0) {
      return Result<std::unique_ptr<Listing>>::failure(errno);
    }
    listed_ = true;
    return Result<std::unique_ptr<Listing>>::of(std::make_unique<PosixListing>(fd()));
  }

  Result<EntryInfo> stat(const std::string& name) override {
    struct stat st;
    if (::fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      return Result<EntryInfo>::failure(errno);
    }
    return Result<EntryInfo>::of(infoOf(st));
  }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& name) override {
    return openFolderAt(fd(), name, pathOf(name), O_NOFOLLOW);
  }

  Status makeFolder(const std::string& name, FileMode mode) override {
    return statusOf(::mkdirat(fd(), name.c_str(), mode));
  }

  Status removeFolder(const std::string& name) override {
    return ::unlinkat(fd(), name.c_str(), AT_REMOVEDIR) == 0 ? Status::success()
                                                             : Status::failure(errno);
  }

  Status removeFile(const std::string& name) override {
    return ::unlinkat(fd(), name.c_str(), 0) == 0 ? Status::success() : Status::failure(errno);
  }

  Result<std::unique_ptr<InputFile>> openFile(const std::string& name) override {
    // O_NONBLOCK keeps a FIFO that took a file's place from hanging the run.
    Descriptor file(::openat(fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return Result<std::unique_ptr<InputFile>>::failure(errno);
    struct stat st;
    if (::fstat(file.get(), &st) != 0) return Result<std::unique_ptr<InputFile>>::failure(errno);
    if (!S_ISREG(st.st_mode)) {
      return Result<std::unique_ptr<InputFile>>::failure(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    // Of the flags F_SETFL can change, the file was opened with O_NONBLOCK
    // alone.
    (void)::fcntl(file.get(), F_SETFL, 0);
    return Result<std::unique_ptr<InputFile>>::of(posix::inputFile(file.release(), st));
  }

  Result<std::unique_ptr<OutputFile>> createFile(const std::string& name) override {
    const int file =
        ::openat(fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) return Result<std::unique_ptr<OutputFile>>::failure(errno);
    return Result<std::unique_ptr<OutputFile>>::of(posix::outputFile(file));
  }

  Result<std::unique_ptr<OutputFile>> createUnnamedFile(const std::string& name) override {
    using Made = Result<std::unique_ptr<OutputFile>>;
    const VolumeId device = id().device;
    {
      std::lock_guard lock(noUnnamedFilesGuard);
      if (noUnnamedFiles.contains(device)) return Made::failure(EOPNOTSUPP);
    }
    const int file = ::openat(fd(), ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600);
    if (file < 0) {
      // Kernels and file systems without unnamed files answer in one of
      // these ways.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Made::failure(errno);
      std::lock_guard lock(noUnnamedFilesGuard);
      noUnnamedFiles.insert(device);
      return Made::failure(EOPNOTSUPP);
    }
    return Made::of(posix::unnamedOutputFile(file, fd_, name));
  }

  Result<std::unique_ptr<OutputFile>> appendFile(const std::string& name) override {
    return openRegularForWriting(name, O_APPEND | O_CREAT);
  }

  Result<std::unique_ptr<OutputFile>> openToRewrite(const std::string& name) override {
    return openRegularForWriting(name, 0);
  }

  Status rename(const std::string& from, const std::string& to) override {
    return ::renameat(fd(), from.c_str(), fd(), to.c_str()) == 0 ? Status::success()
                                                                 : Status::failure(errno);
  }

  Status moveTo(const std::string& name, Folder& destination, const std::string& to) override {
    auto* other = dynamic_cast<PosixFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    if (::renameat2(fd(), name.c_str(), other->fd(), to.c_str(), RENAME_NOREPLACE) == 0) {
      return Status::success();
    }
    if (errno != EINVAL) return Status::failure(errno);
    // A file system without the no-replace flag: look first. What could
    // slip in between is another program's doing in the history folder.
    struct stat st;
    if (::fstatat(other->fd(), to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      return Status::failure(EEXIST);
    }
    return ::renameat(fd(), name.c_str(), other->fd(), to.c_str()) == 0 ? Status::success()
                                                                        : Status::failure(errno);
  }

  Status linkTo(const std::string& name, Folder& destination, const std::string& to) override {
    auto* other = dynamic_cast<PosixFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    return ::linkat(fd(), name.c_str(), other->fd(), to.c_str(), 0) == 0 ? Status::success()
                                                                         : Status::failure(errno);
  }

  Result<std::string> readLink(const std::string& name) override {
    std::string text(256, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(fd(), name.c_str(), text.data(), text.size());
      if (n < 0) return Result<std::string>::failure(errno);
      if (static_cast<std::size_t>(n) < text.size()) {
        text.resize(static_cast<std::size_t>(n));
        return Result<std::string>::of(std::move(text));
      }
      text.resize(text.size() * 2);
    }
  }

  Status makeLink(const std::string& name, const std::string& text) override {
    return ::symlinkat(text.c_str(), fd(), name.c_str()) == 0 ? Status::success()
                                                              : Status::failure(errno);
  }

  Status setLinkTime(const std::string& name, timespec modified) override {
    const auto times = lastWriteTimes(modified);
    return statusOf(::utimensat(fd(), name.c_str(), times.data(), AT_SYMLINK_NOFOLLOW));
  }

  Status setLinkOwner(const std::string& name, UserId owner, GroupId group) override {
    return statusOf(::fchownat(fd(), name.c_str(), owner, group, AT_SYMLINK_NOFOLLOW));
  }

  Result<EntryInfo> info() override { return infoOfDescriptor(fd()); }

  Status setModified(timespec modified) override {
    const auto times = lastWriteTimes(modified);
    return statusOf(::futimens(fd(), times.data()));
  }

  Status setMode(FileMode mode) override { return statusOf(::fchmod(fd(), mode)); }

  Status setOwner(UserId owner, GroupId group) override {
    return statusOf(::fchown(fd(), owner, group));
  }

  Status copyAttributesFrom(Folder& source) override {
    auto* posix = dynamic_cast<PosixFolder*>(&source);
    if (posix == nullptr) return Status::failure(EINVAL);
    return copyAttributes(posix->fd(), fd());
  }

  Status syncFileSystem() override {
    return ::syncfs(fd()) == 0 ? Status::success() : Status::failure(errno);
  }

  // The disk file systems of Linux itself and tmpfs answer from the inode
  // they keep. FUSE (fusefat, exFAT and NTFS drivers) and network file
  // systems may answer from a cache of what was asked for.
  bool answersWithKeptTimes() override {
    switch (fileSystemType()) {
      case 0xEF53UL:      // ext2, ext3, ext4
      case 0x9123683EUL:  // btrfs
      case 0x58465342UL:  // xfs
      case 0x01021994UL:  // tmpfs
      case 0xF2F52010UL:  // f2fs
      case 0x2FC12FC1UL:  // zfs
      case 0xCA451A4EUL:  // bcachefs
      case 0x7366746EUL:  // ntfs3
        return true;
      default: return false;
    }
  }

  // Measured on ext4, where a sync from another thread every quarter of a
  // second took a seventh off a first mirror of small files. Others are left
  // alone until measured: btrfs and f2fs make a whole commit or checkpoint of
  // each sync, and on FAT sticks each would rewrite the same sectors.
  bool gainsFromEarlySyncs() override { return fileSystemType() == 0xEF53UL; }

  // The kind of file system the folder is on (statfs's f_type), 0 unknown.
  unsigned long fileSystemType() {
    struct statfs about {};
    if (::fstatfs(fd(), &about) != 0) return 0;
    return static_cast<unsigned long>(about.f_type);
  }

  // O_NONBLOCK keeps a FIFO in the file's place from hanging the program.
  Result<std::unique_ptr<OutputFile>> openRegularForWriting(const std::string& name, int flags) {
    const int opened =
        ::openat(fd(), name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags, 0644);
    if (opened < 0) return Result<std::unique_ptr<OutputFile>>::failure(errno);
    auto file = posix::outputFile(opened);
    struct stat st;
    if (::fstat(opened, &st) != 0) return Result<std::unique_ptr<OutputFile>>::failure(errno);
    if (!S_ISREG(st.st_mode)) return Result<std::unique_ptr<OutputFile>>::failure(EINVAL);
    return Result<std::unique_ptr<OutputFile>>::of(std::move(file));
  }

  static Result<std::unique_ptr<Folder>> openFolderAt(int dirfd, const std::string& name,
                                                      std::string path, int extraFlags) {
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
    if (fd < 0) return Result<std::unique_ptr<Folder>>::failure(errno);
    return Result<std::unique_ptr<Folder>>::of(std::make_unique<PosixFolder>(std::move(path), fd));
  }

 private:
  // Shared with the unnamed files made here, which are published into it.
  std::shared_ptr<Descriptor> fd_;
  mutable std::optional<FolderId> id_;
  bool listed_ = false;
};

}  // namespace

bool isPathSeparator(char c) { return c == '/'; }
char preferredSeparator() { return '/'; }
std::size_t rootLengthOf(std::string_view path) { return path.starts_with('/') ? 1 : 0; }

PosixFileSystem::PosixFileSystem(std::string fstab, std::string mounted)
    : fstab_(std::move(fstab)), mounted_(std::move(mounted)) {
  // A walk holds two descriptors per level of the tree it is in; a deep tree
  // must not run out of them at the usual soft limit of 1024.
  static std::once_flag raised;
  std::call_once(raised, [] {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
      limit.rlim_cur = limit.rlim_max;
      (void)::setrlimit(RLIMIT_NOFILE, &limit);
    }
  });
}

Result<std::unique_ptr<Folder>> PosixFileSystem::openFolder(const std::string& path) {
  if (path.empty()) return Result<std::unique_ptr<Folder>>::failure(ENOENT);
  return PosixFolder::openFolderAt(AT_FDCWD, path, path, 0);
}

Result<EntryInfo> PosixFileSystem::stat(const std::string& path) {
  struct stat st;
  if (path.empty()) return Result<EntryInfo>::failure(ENOENT);
  if (::stat(path.c_str(), &st) != 0) return Result<EntryInfo>::failure(errno);
  return Result<EntryInfo>::of(infoOf(st));
}

bool PosixFileSystem::keepsOwners() { return ::geteuid() == 0; }

namespace {

std::string unescapeMountPath(const std::string& text) {
  std::string path;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
      const std::string digits = text.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        path += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    path += text[i];
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The mount points of an fstab(5) or a mountinfo file's text (the octal
// escapes of blanks undone); entries that are no path (swap) are left out.
std::vector<std::string> mountPointsOfTable(const std::string& text, bool mountinfo) {
  std::vector<std::string> points;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string field;
    std::vector<std::string> all;
    while (fields >> field && all.size() < 5) all.push_back(field);
    if (all.empty() || all[0].front() == '#') continue;
    const std::size_t at = mountinfo ? 4 : 1;
    if (all.size() <= at) continue;
    std::string point = unescapeMountPath(all[at]);
    if (point.front() == '/') points.push_back(std::move(point));
  }
  return points;
}

}  // namespace

std::optional<std::string> PosixFileSystem::unmountedMountPointOf(const std::string& path) {
  const std::string real = resolve(path);
  std::string meant;
  for (auto& point : mountPointsOfTable(readWholeFile(*this, fstab_).value, false)) {
    if (point.size() > meant.size() && isSameOrInside(real, point)) meant = std::move(point);
  }
  // The root is always there.
  if (meant.empty() || meant == "/") return std::nullopt;
  for (const auto& point : mountPointsOfTable(readWholeFile(*this, mounted_).value, true)) {
    // Mounted there, or deeper on the way to the path: the path is on it.
    if (isSameOrInside(point, meant) && isSameOrInside(real, point)) return std::nullopt;
  }
  return meant;
}

Status PosixFileSystem::makeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? Status::success() : Status::failure(errno);
}

namespace {
// As many links as Linux follows in one path before it gives ELOOP.
constexpr int kMaxLinksFollowed = 40;
}  // namespace

Result<std::string> PosixFileSystem::absolutePath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return Result<std::string>::of(path);
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return Result<std::string>::failure(errno);
  return Result<std::string>::of(std::string(cwd) + "/" + path);
}

std::string PosixFileSystem::resolve(const std::string& path) {
  if (path.empty()) return {};
  const auto absolute = absolutePath(path);
  if (!absolute.ok()) return path;
  const std::string& whole = absolute.value;
  // The names still to walk, the next one last.
  std::vector<std::string> pending;
  auto pushFront = [&pending](const std::string& text) {
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos <= text.size()) {
      const std::size_t slash = std::min(text.size(), text.find('/', pos));
      if (slash > pos) names.push_back(text.substr(pos, slash - pos));
      pos = slash + 1;
    }
    pending.insert(pending.end(), names.rbegin(), names.rend());
  };
  pushFront(whole);

  // `done` is real as far as `realLength`; beyond that nothing exists, so
  // nothing there is a link. Links are followed as the system does: a ".."
  // after a link climbs from where the link leads.
  std::string done;
  std::size_t realLength = std::string::npos;
  int linksFollowed = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      const std::size_t slash = done.find_last_of('/');
      done.resize(slash == std::string::npos ? 0 : slash);
      if (done.size() <= realLength) realLength = std::string::npos;  // back where all is real
      continue;
    }
    std::string next = done + "/" + name;
    if (realLength == std::string::npos) {
      struct stat st;
      if (::lstat(next.c_str(), &st) != 0) {
        realLength = done.size();
      } else if (S_ISLNK(st.st_mode)) {
        std::string text(PATH_MAX, '\0');
        const ssize_t n = ::readlink(next.c_str(), text.data(), text.size());
        // A link loop cannot be walked by the system either.
        if (n > 0 && ++linksFollowed <= kMaxLinksFollowed) {
          text.resize(static_cast<std::size_t>(n));
          if (text.front() == '/') done.clear();
          pushFront(text);
          continue;
        }
        realLength = done.size();
      }
    }
    done = std::move(next);
  }
  return done.empty() ? "/" : done;
}

}  // namespace tavro
