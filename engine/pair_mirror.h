#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>

#include "engine/file_stamp.h"
#include "engine/plan.h"
#include "engine/run_display.h"
#include "engine/stop_request.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace tavro {

// The last folder name of a source path: the text after its last "/" once
// any "/" at its end is taken off, or the whole path when it has none.
// Empty for the root.
std::string lastComponent(const std::string& source);

// Whether the target's real path passes through a history folder, where a
// pair folder would hold another pair's versions.
bool liesInHistory(FileSystem& fs, const std::string& target);

// The folder a pair is mirrored into: the target, "/", the source's last
// folder name, joined as text.
std::string pairFolderOf(const std::string& source, const std::string& target);

// What a run is asked to do, the same for every pair: the user's settings
// and what the caller decides.
struct RunOptions {
  // "také synchronizuj (výmaz již smazaných)": off, the backup keeps what the
  // sources lost.
  bool mirrorDeletions = true;
  // "Uchovávat smazané a přepsané soubory": above 0, nothing in a pair folder
  // is deleted or overwritten: it goes into the history under the run's
  // start, and run folders older than this many days are removed there at
  // the end of the pair; 0 removes it.
  int historyDays = 0;
  // Asked before a deletion pass removes more than half of the pair folder's
  // files and more than kMassDeletionFiles of them: `files` of `of` in
  // `folder`. Unset (a run nobody watches), or answered false, nothing is
  // removed, with a failure.
  std::function<bool(std::int64_t files, std::int64_t of, const std::string& folder)>
      confirmMassDeletion;
  // Off, the copy pass does all on the run's thread: it looks every entry up
  // in turn and copies new folders itself. The program's edges set it (main,
  // the command line, the measuring tools read TAVRO_NO_READ_AHEAD); the
  // engine never reads the environment.
  bool readAhead = true;
  // Off only to measure what putting the pair on the disk costs.
  bool durable = true;
};

// One pair's part of a run: the run's options and what the run found out
// about the pair and the others.
struct PairOptions {
  RunOptions run;
  // Another pair's backup lies in the pair folder: the deletion pass is
  // skipped, with a failure, even where deletions are mirrored.
  bool sharesPairFolder = false;
  // Pairs' source folders, sorted (this pair's own may be among them): the
  // deletion pass never enters or removes one, even where the pair folder
  // holds it.
  std::span<const FolderId> otherSources{};
  // Asked between entries: once set, the pair ends where it is, without its
  // deletion pass.
  const StopRequest* stop = nullptr;
  // Names the history folder of what this run removes or replaces.
  LocalDateTime runStart{};
  // Set, the pair is only planned: nothing changes on disk, and what the
  // passes would do is added here.
  PairPlan* plan = nullptr;
  // How finely each pair folder keeps times, by the folder's identity: a
  // run finds it out and puts it here, a plan (which writes nothing) takes
  // it from here, or the two-second steps where it is not known.
  std::map<FolderId, TimePrecision>* timePrecisions = nullptr;
  // Set when the pair's state says an earlier run backed it up: an empty
  // target is then a drive that is not there, and the pair is refused.
  bool backedUpBefore = false;
};

inline constexpr std::int64_t kMassDeletionFiles = 20;

// Mirrors one pair: copies the source into the pair folder (the target, "/",
// the source's last folder name) and, as the options say, removes what the
// source no longer has. Every failure goes to the display's failed(); a pair
// without failures went well. What the pair needs is checked before anything is
// written, and a pair that fails a check touches nothing:
//   - the target must be an existing folder: the run never creates it, so an
//     unplugged drive's backup does not land on the system disk; nor may it
//     be, or lie under, a mount point of the system's table with nothing
//     mounted there, nor be empty when the pair was backed up before;
//   - the pair folder is created only one level below it, must be a direct
//     child of it (a source ending in "/." or "/.." is no pair, nor is one
//     whose target lies in a history folder) and is never reached through a
//     link;
//   - the source must be readable; an empty source over a non-empty pair
//     folder (a drive not mounted) is copied but nothing is deleted.
// The source, the target and the pair folder are each opened once, so a link
// swapped in for any of them during the run changes nothing. At the end
// everything written is put on the disk before the pair can count as done.
void mirrorPair(FileSystem& fs, RunDisplay& display, const std::string& source,
                const std::string& target, const PairOptions& options);

}  // namespace tavro
