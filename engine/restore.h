#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace tavro {

// A moment a pair's backup can be brought back to: now (the pair folder as
// it is), or just before a run that kept in the history what it replaced or
// removed, named by that run's stamp.
struct RestorePoint {
  std::optional<LocalDateTime> before;  // nothing: now
};

// One version of a file or folder in a pair's backup.
struct BackupVersion {
  std::optional<LocalDateTime> until;  // the run that replaced or removed it; nothing: current
  EntryKind kind = EntryKind::Unknown;
  std::int64_t size = 0;
  LocalDateTime modified;  // its last-write time, local
};

// An entry of a pair's tree at a restore point, and which copy holds it.
struct RestoreEntry {
  std::string path;  // relative to the pair folder, joined with the system's separator
  EntryKind kind = EntryKind::Unknown;
  std::int64_t size = 0;
  timespec modified{};
  FileMode mode = 0;
  int copy = 0;  // which folder of the backup holds it (see PairBackup::copyFolder)
};

// The backup of one pair, read only: its pair folder and the run folders of
// its history. Nothing here changes a byte of either.
class PairBackup {
 public:
  PairBackup(FileSystem& fs, const std::string& source, const std::string& target);

  const std::string& pairFolder() const { return pairFolder_; }
  const std::string& historyFolder() const { return history_; }
  // Now first, then before each run that kept versions, newest first.
  std::vector<RestorePoint> points() const;
  // The versions of `relative` (a path in the pair), newest first; the
  // current copy first when the pair folder has it.
  std::vector<BackupVersion> versions(const std::string& relative);
  // The tree under `relative` ("" for the whole pair) as it was at `point`,
  // each folder before its contents: for every path, the copy in the first
  // run folder made from then on, else the pair folder's when it was there
  // then (last written before the point). Empty when the path was not there.
  std::vector<RestoreEntry> stateAt(const RestorePoint& point, const std::string& relative = "");
  // The whole path of the folder `copy` names: the pair folder or a run
  // folder.
  std::string copyFolder(int copy) const;
  // The places of the backup the last stateAt could not read, each with
  // its reason: what they hold is missing from its answer.
  const std::vector<std::string>& unreadable() const { return unreadable_; }

 private:
  struct Run {
    std::int64_t time;  // seconds of the local calendar
    LocalDateTime stamp;
    std::string name;
  };
  // Walks the copy `copy` from the path `names` down, each folder before
  // its contents; `visit` (the path in the pair, its entry) says whether to
  // go into a folder.
  using Visit = std::function<bool(const std::string& path, const EntryInfo& info)>;
  void walk(int copy, const std::vector<std::string>& names, const Visit& visit);
  void walkInside(Folder& folder, int copy, const std::string& path, const Visit& visit, int depth);
  void unread(const std::string& path, int error);

  FileSystem& fs_;
  std::string pairFolder_;
  std::string history_;
  std::vector<Run> runs_;  // oldest first; copy i + 1 is runs_[i]
  std::vector<std::string> unreadable_;
  std::string historyUnread_;  // why the run folders could not be listed
};

// How restored files meet what is at their place.
enum class RestoreMode {
  // Nothing there is ever replaced: what is in the way is kept and reported.
  NeverReplace,
  // A different file there is replaced, itself first kept beside under a
  // name saying so ("name (před obnovou <stamp>).ext").
  ReplaceKeepingCurrent,
};

// Why nothing is restored into a folder of the backup itself.
inline constexpr const char* kDestinationInBackup =
    "adresář leží v záloze páru, kterou obnova jen čte";

struct RestoreReport {
  int restored = 0;                 // files, links and folders made
  int unchanged = 0;                // files already there as they were
  std::vector<std::string> kept;    // paths left as they were, or kept beside themselves
  std::vector<std::string> failed;  // "path: reason"
  bool stopped = false;             // the progress asked to stop before the end
};

// What restoring `entries` (the state under `relative`) as `name` into the
// folder `destination` does.
struct RestoreJob {
  std::vector<RestoreEntry> entries;
  // What of the backup could not be read for them (PairBackup::unreadable):
  // reported as failed, never passed over in silence.
  std::vector<std::string> unreadable;
  std::string relative;
  std::string destination;
  std::string name;
};

// The files of a job that would replace a different file at their place.
std::vector<std::string> filesToReplace(FileSystem& fs, const RestoreJob& job);

// Copies a job's entries out of the backup: each file written under a
// temporary name and renamed, with its last-write time and permission bits;
// folders get their times once filled. `progress` is told each entry done
// (done, total) and returns false to stop. `now` names the kept copies.
RestoreReport restore(FileSystem& fs, const PairBackup& backup, const RestoreJob& job,
                      RestoreMode mode, const LocalDateTime& now,
                      const std::function<bool(int, int)>& progress = {});

// "<name> (obnoveno <stamp>)": the new folder a restore goes into by default,
// beside the original.
std::string restoredFolderName(const std::string& name, const LocalDateTime& point);

// Seconds of the local calendar since 1970, for ordering local times.
std::int64_t localSeconds(const LocalDateTime& t);

}  // namespace tavro
