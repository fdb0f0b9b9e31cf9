#pragma once

#include <cerrno>

// NFS's "stale handle", which MinGW does not name; the tests inject it
// all the same.
#ifndef ESTALE
#define ESTALE 116
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"

namespace tavro::testkit {

enum class FaultOp {
  Open,    // opening a file for reading
  Create,  // creating a file (or a link), or opening one to append or rewrite
  Read,    // reading, after `after` bytes
  Write,   // writing, after `after` bytes
  Delete,  // removing a file or a folder
  Rename,  // either end of a rename or a move
  Link,    // either end of a hard link
  MakeFolder,
  OpenFolder,
  ListStart,
  ListMiddle,  // the listing breaks off after `after` entries
  Stat,
  SetTime,     // giving a copy its time
  SetMode,     // giving a copy its permissions
  Attributes,  // giving a copy its extended attributes and access control lists
  Sync,        // putting a written file, or a folder's whole file system, on the disk
  Close,       // closing a written file: where NFS and a full quota report a lost write
};

// Thrown where a test asks the computer to "die": the walk stops at once,
// with whatever is on disk at that moment.
struct SimulatedCrash : std::runtime_error {
  SimulatedCrash() : std::runtime_error("simulated crash") {}
};

// Passes every call to the real file system and makes the ones a test names
// fail, so each failure line of a run can be produced even as root.
class FaultyFileSystem final : public FileSystem {
 public:
  using Matcher = std::function<bool(const std::string& path)>;

  explicit FaultyFileSystem(FileSystem& inner)
      : inner_(inner), creator_(std::this_thread::get_id()) {}

  // Makes `op` on exactly `path` fail with `error`. For reads and writes
  // `after` counts the bytes that pass first, for ListMiddle the entries,
  // and for every other operation the calls.
  void fail(FaultOp op, const std::string& path, int error = EIO, std::int64_t after = 0);
  // Makes `op` on any path below `folder` fail.
  void failUnder(FaultOp op, const std::string& folder, int error = EIO, std::int64_t after = 0);
  // Makes `op` on `path` throw SimulatedCrash instead.
  void crash(FaultOp op, const std::string& path, std::int64_t after = 0);
  // The same for any path below `folder`.
  void crashUnder(FaultOp op, const std::string& folder, std::int64_t after = 0);
  // Runs `action` once, the first time a file below `folder` is written: another
  // program at work in the middle of this one's write.
  void interruptWrite(const std::string& folder, std::function<void()> action);
  void interruptIfDue(const std::string& path);
  void clear() { faults_.clear(); }
  // How many times a fault of this kind was triggered.
  int triggered(FaultOp op) const;
  // How many calls came from another thread than the one that made this
  // file system: the walks' lookups ahead.
  int callsFromOtherThreads() const { return otherThreadCalls_; }

  // A power cut: every file written through this file system since it was
  // last synced loses what was not synced. As on ext4 in its default mode,
  // its size falls back to the last synced size (0 for a file never synced)
  // while its name and last-write time stay. Deletions and renames are kept.
  void dropUnsyncedData();

  // Makes every folder at and below `folder` look names up without regard
  // to ASCII letter case while keeping the case they were written in, as the
  // vfat and exFAT file systems of USB drives do.
  void foldCase(const std::string& folder);
  bool foldsCase(const std::string& path) const;

  // Makes every listing report its entries without their kind, as some file
  // systems (network ones, older ones) do: the walks must look them up.
  void hideKinds() { hideKinds_ = true; }
  bool kindsHidden() const { return hideKinds_; }

  // Makes every folder refuse unnamed files, as vfat and exFAT do.
  void refuseUnnamedFiles() { refuseUnnamed_ = true; }
  bool unnamedFilesRefused() const { return refuseUnnamed_; }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& path) override;
  Result<EntryInfo> stat(const std::string& path) override;
  Status makeFolder(const std::string& path) override;
  std::string resolve(const std::string& path) override { return inner_.resolve(path); }
  bool keepsOwners() override { return inner_.keepsOwners(); }
  std::optional<std::string> unmountedMountPointOf(const std::string& path) override {
    return inner_.unmountedMountPointOf(path);
  }
  Result<std::string> absolutePath(const std::string& path) override {
    return inner_.absolutePath(path);
  }

  // Used by the wrapped folders and files: the fault for `op` on `path`, if any.
  struct Fault {
    FaultOp op;
    Matcher matches;
    int error = EIO;
    std::int64_t after = 0;
    bool crash = false;
    std::atomic<int> triggered = 0;  // a run reads and writes on two threads
  };
  Fault* find(FaultOp op, const std::string& path);
  // Fails (returns the error) or throws when a fault without a byte or entry
  // count matches; 0 otherwise. Lookups may come from two threads at once.
  int check(FaultOp op, const std::string& path);

  // Book-keeping of written data for dropUnsyncedData(), by whole path. A run
  // copies on two threads, so these come from both at once.
  void wrote(const std::string& path, std::int64_t initialSize);
  void synced(const std::string& path, std::int64_t size);
  void syncedAll();
  void renamed(const std::string& from, const std::string& to);
  void removed(const std::string& path);

 private:
  FileSystem& inner_;
  std::thread::id creator_;
  std::mutex checking_;
  std::atomic<int> otherThreadCalls_ = 0;
  std::deque<Fault> faults_;                      // stable addresses: open files keep pointers
  std::mutex keeping_;                            // guards unsynced_ and interrupts_
  std::map<std::string, std::int64_t> unsynced_;  // path -> size last synced
  std::vector<std::string> foldingFolders_;
  bool hideKinds_ = false;
  bool refuseUnnamed_ = false;
  std::vector<std::pair<std::string, std::function<void()>>> interrupts_;  // folder prefix, action
};

}  // namespace tavro::testkit
