#pragma once

// The file-system seam. Everything below a folder the user named is reached
// relative to an open folder, one name at a time, and no call ever follows a
// symbolic link at the name it is given: a link is an entry like any other.
// Only the folder paths the user chose are resolved as whole paths.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace tavro {

// The seam's own types, of one width on every system (MinGW's FileIndex has 16
// bits): permission bits as POSIX writes them (0755), owners and groups by
// number, a file's number on its volume (the inode, or the file index on
// Windows) and the volume's (the device, or the volume serial number).
using FileMode = std::uint32_t;
using UserId = std::uint32_t;
using GroupId = std::uint32_t;
using FileIndex = std::uint64_t;
using VolumeId = std::uint64_t;

inline constexpr FileMode kOwnerWrite = 0200;
inline constexpr FileMode kOwnerAll = 0700;

enum class EntryKind : std::uint8_t {
  Unknown,  // the listing did not say; ask stat()
  File,     // a regular file
  Folder,
  Link,     // a symbolic link, never followed
  Special,  // FIFO, socket or device: never opened
};

struct EntryInfo {
  EntryKind kind = EntryKind::Unknown;
  std::int64_t size = 0;
  timespec modified{};  // last-write time, universal time
  FileMode mode = 0;    // permission bits
  FileIndex inode = 0;  // tells two names of one entry apart from two entries
  UserId owner = 0;
  GroupId group = 0;
};

// Identifies a folder on its device, so a walk can notice that it met one of
// the folders it was given.
struct FolderId {
  VolumeId device = 0;
  FileIndex inode = 0;
  auto operator<=>(const FolderId&) const = default;
};

struct ListedEntry {
  std::string name;
  EntryKind kind = EntryKind::Unknown;
};

// A folder listing that stays open while its entries are handled.
class Listing {
 public:
  virtual ~Listing() = default;
  // The next entry other than "." and "..". Returns false at the end, or
  // false with *error set when the listing broke off.
  virtual bool next(ListedEntry& entry, int* error) = 0;
};

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Up to `size` bytes; 0 at the end of the file.
  virtual Result<std::size_t> read(char* buffer, std::size_t size) = 0;
  // Kind, size, time and permissions of the open file, as they were when
  // it was opened.
  virtual Result<EntryInfo> info() = 0;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual Result<std::size_t> write(const char* data, std::size_t size) = 0;
  // Moves up to `limit` bytes from `source` to this file; 0 at the source's
  // end. The base version reads into a buffer and writes; an implementation
  // may move the bytes inside the kernel instead.
  virtual Result<std::size_t> copyFrom(InputFile& source, std::size_t limit);
  // Cuts or extends the file to `size` bytes.
  virtual Status resize(std::int64_t size) = 0;
  virtual Status setMode(FileMode mode) = 0;
  virtual Status setOwner(UserId owner, GroupId group) = 0;
  // Sets the last-write time; the access time becomes now.
  virtual Status setModified(timespec modified) = 0;
  // Kind, size, time and permissions as the file system holds them now.
  virtual Result<EntryInfo> info() = 0;
  // Copies the source's extended attributes of the user namespace and its
  // POSIX access control lists. What the target's file system cannot hold
  // at all is passed over; any other failure is returned.
  virtual Status copyAttributesFrom(InputFile& source) = 0;
  // Puts the contents on the disk before returning.
  virtual Status sync() = 0;
  // A file made by Folder::createUnnamedFile gets its name: it appears
  // whole, at once, and fails with EEXIST when the name is taken. Any other
  // file fails with EINVAL.
  virtual Status publish();
  // Closing may report a write the system had deferred.
  virtual Status close() = 0;

 private:
  std::unique_ptr<char[]> buffer_;
};

// Writes all of `data`; a write that moves nothing counts as EIO.
Status writeAll(OutputFile& file, std::string_view data);

class Folder {
 public:
  explicit Folder(std::string path) : path_(std::move(path)) {}
  virtual ~Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The path this folder was reached by, as the lines of a run name it.
  const std::string& path() const { return path_; }
  std::string pathOf(std::string_view name) const;

  // Looked up on first use: most folders of a walk never need it.
  virtual FolderId id() const = 0;

  // A listing from the first entry on; a folder has one listing at a time.
  virtual Result<std::unique_ptr<Listing>> list() = 0;
  virtual Result<EntryInfo> stat(const std::string& name) = 0;
  // Fails with ENOTDIR (or ELOOP) when the name is a file or a link.
  virtual Result<std::unique_ptr<Folder>> openFolder(const std::string& name) = 0;
  virtual Status makeFolder(const std::string& name, FileMode mode) = 0;
  virtual Status removeFolder(const std::string& name) = 0;
  virtual Status removeFile(const std::string& name) = 0;
  // Fails for anything but a regular file; never blocks on a FIFO.
  virtual Result<std::unique_ptr<InputFile>> openFile(const std::string& name) = 0;
  // Creates a new file; fails with EEXIST when the name is taken by anything,
  // a dangling link included.
  virtual Result<std::unique_ptr<OutputFile>> createFile(const std::string& name) = 0;
  // Creates a regular file without a name in this folder, to become `name`
  // when published: a write cut short leaves nothing behind. Fails with
  // EOPNOTSUPP where the file system cannot make such files.
  virtual Result<std::unique_ptr<OutputFile>> createUnnamedFile(const std::string& name) = 0;
  // Opens a regular file for writing at its end, creating it when missing.
  virtual Result<std::unique_ptr<OutputFile>> appendFile(const std::string& name) = 0;
  // Opens an existing regular file for writing from its start, its contents
  // kept until written over; fails as the file's permission says.
  virtual Result<std::unique_ptr<OutputFile>> openToRewrite(const std::string& name) = 0;
  // Replaces `to` (a file or a link, never a folder's contents) atomically.
  virtual Status rename(const std::string& from, const std::string& to) = 0;
  // Moves the entry `name` (a file, a link or a whole folder) to the name
  // `to` in `destination`, a folder of the same kind. Never replaces: fails
  // with EEXIST when `to` is taken, and with EXDEV across file systems.
  virtual Status moveTo(const std::string& name, Folder& destination, const std::string& to) = 0;
  // Gives the file `name` a second name `to` in `destination` (a hard link).
  virtual Status linkTo(const std::string& name, Folder& destination, const std::string& to) = 0;
  virtual Result<std::string> readLink(const std::string& name) = 0;
  virtual Status makeLink(const std::string& name, const std::string& text) = 0;
  virtual Status setLinkTime(const std::string& name, timespec modified) = 0;
  virtual Status setLinkOwner(const std::string& name, UserId owner, GroupId group) = 0;

  // The folder itself: what it is, and its time, permissions, owner and
  // attributes, as the copy of a source folder takes them.
  virtual Result<EntryInfo> info() = 0;
  virtual Status setModified(timespec modified) = 0;
  virtual Status setMode(FileMode mode) = 0;
  virtual Status setOwner(UserId owner, GroupId group) = 0;
  virtual Status copyAttributesFrom(Folder& source) = 0;
  // Whether the file system takes names that differ in letter case alone
  // for one name, as Windows does.
  virtual bool foldsCase() { return false; }
  // Whether a time read back right after it was set is the one the file
  // system keeps, so that a probe can tell how finely it keeps times.
  virtual bool answersWithKeptTimes() = 0;
  // Puts everything written on this folder's file system so far on the disk,
  // so that what a run reports as done survives a power cut.
  virtual Status syncFileSystem() = 0;
  // Whether syncing this file system now and then while many files are
  // written, from another thread, shortens the run: where the closing sync
  // then finds little left to write, and an early sync does not stall the
  // writer.
  virtual bool gainsFromEarlySyncs() = 0;

 private:
  std::string path_;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a folder by its whole path. Links within the path are followed:
  // the path is the user's choice.
  virtual Result<std::unique_ptr<Folder>> openFolder(const std::string& path) = 0;
  // Describes what a whole path names, following links as openFolder does.
  virtual Result<EntryInfo> stat(const std::string& path) = 0;
  virtual Status makeFolder(const std::string& path) = 0;
  // `path` as a whole path: a relative one joined to the current folder.
  // Fails with the system's reason when the current folder is not known.
  virtual Result<std::string> absolutePath(const std::string& path) = 0;
  // Whether copies can take their sources' owners: only a program running
  // as the administrator may give files away.
  virtual bool keepsOwners() = 0;
  // The mount point of the system's table of file systems (/etc/fstab)
  // under which `path` lies, when nothing is mounted there now: the empty
  // folder an unplugged drive leaves behind.
  virtual std::optional<std::string> unmountedMountPointOf(const std::string& path) = 0;
  // The whole real path, as realpath(3) gives it for a path that exists:
  // each link is followed before a ".." after it is applied. Where the path
  // stops existing, the rest is appended with "." and ".." folded as text
  // (nothing there can be a link yet). Empty for an empty path.
  virtual std::string resolve(const std::string& path) = 0;
};

// Whether `c` separates the names of a path: "/" everywhere, and "\" as
// well on Windows.
bool isPathSeparator(char c);
// The separator the system writes: "/", or "\" on Windows.
char preferredSeparator();

// `name` below the folder `folder`, joined by the separator the folder's path
// already uses (the system's own when it has none), so that the lines of a
// run show paths as the user wrote them.
std::string joinPath(std::string_view folder, std::string_view name);

// How many characters of `path` name its root: 1 for "/..." on POSIX, "C:\"
// or "\\server\share\" on Windows; 0 for a relative path.
std::size_t rootLengthOf(std::string_view path);

// `path` without the separators at its end, a root ("/", "C:\") kept whole.
std::string withoutTrailingSeparators(std::string path);

// A path cut at its last separator: the folder ("." when there is none, the
// root for a name in the root) and the name after it (the whole path when
// there is no separator).
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts splitPath(const std::string& path);

// The kind of a listed entry, looked up in `folder` when the listing did not
// say; nothing when the entry went meanwhile.
std::optional<EntryKind> kindOf(Folder& folder, const ListedEntry& entry);

// Whether `inner` is `outer` or lies below it; both whole resolved paths.
bool isSameOrInside(const std::string& inner, const std::string& outer);

// Creates every missing folder of `path`, outermost first. Failures are not
// reported: whoever needs the folder finds out when using it.
void makeFolderChain(FileSystem& fs, const std::string& path);

bool folderExists(FileSystem& fs, const std::string& path);

// The real file system, on POSIX calls relative to open folder descriptors.
class PosixFileSystem final : public FileSystem {
 public:
  // Raises the process's limit of open descriptors to its hard limit. The
  // two tables name the file systems meant to be mounted and those mounted
  // now.
  explicit PosixFileSystem(std::string fstab = "/etc/fstab",
                           std::string mounted = "/proc/self/mountinfo");
  Result<std::unique_ptr<Folder>> openFolder(const std::string& path) override;
  Result<EntryInfo> stat(const std::string& path) override;
  Status makeFolder(const std::string& path) override;
  Result<std::string> absolutePath(const std::string& path) override;
  std::string resolve(const std::string& path) override;
  bool keepsOwners() override;
  std::optional<std::string> unmountedMountPointOf(const std::string& path) override;

 private:
  std::string fstab_;
  std::string mounted_;
};

// The real file system of Windows, on the wide-character API relative to
// open folder handles.
class WindowsFileSystem final : public FileSystem {
 public:
  Result<std::unique_ptr<Folder>> openFolder(const std::string& path) override;
  Result<EntryInfo> stat(const std::string& path) override;
  Status makeFolder(const std::string& path) override;
  Result<std::string> absolutePath(const std::string& path) override;
  std::string resolve(const std::string& path) override;
  bool keepsOwners() override;
  std::optional<std::string> unmountedMountPointOf(const std::string& path) override;
};

// The file system of the system the program was built for.
#ifdef _WIN32
using SystemFileSystem = WindowsFileSystem;
#else
using SystemFileSystem = PosixFileSystem;
#endif

}  // namespace tavro
