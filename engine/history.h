#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace tavro {

// The folder beside the pair folders that keeps what runs removed or
// replaced: Trg/.tavro-historie/<pair name>/<run start>/<path in the pair
// folder>. A deletion pass never enters a folder of this name.
inline constexpr const char* kHistoryFolderName = ".tavro-historie";

// The name a pair's history goes under: the source's last folder name, or
// for a source ending in "/" the name before it.
std::string historyNameOf(const std::string& source);
// Where the history of the pair `source` -> `target` is kept.
std::string historyFolderOf(const std::string& source, const std::string& target);

// "yyyy-mm-dd hh.mm.ss": a run folder's name in the history.
std::string historyStamp(const LocalDateTime& t);
// The time a run folder's name stands for; nothing for any other name.
std::optional<LocalDateTime> parseHistoryStamp(const std::string& name);

// One pair's history during one run. Every move is a rename on the target's
// file system: where that is impossible, the entry stays where it is and
// the caller reports it, so nothing goes without its version kept. Moves
// and links may come from the copy pass's two threads at once.
class History {
 public:
  // `target` is the pair's open target folder and `pairFolderPath` the path
  // of its pair folder, whose entries are moved.
  History(Folder& target, std::string pairName, std::string pairFolderPath,
          const LocalDateTime& runStart);

  // Moves the entry `name` of `folder` (a folder of the pair folder's tree)
  // to the same place in this run's history folder.
  Status moveIn(Folder& folder, const std::string& name);
  // Gives the file `name` of `folder` a second name there, leaving it in
  // place: a replacement then renames the new copy over it.
  Status linkIn(Folder& folder, const std::string& name);

  // Removes this pair's run folders older than `days` days, their age
  // counted along the runs made since, so that a wrong clock ages nothing.
  // What cannot be removed stays for the next run to try again.
  void prune(int days);

 private:
  // This run's history folder for `folder`, created as needed; null when it
  // cannot be.
  Folder* placeFor(const Folder& folder);
  Folder* child(Folder& parent, const std::string& name, std::unique_ptr<Folder>& kept);

  // The time this run's folder is named for: its start, or just after the
  // newest run folder there when that is later.
  std::int64_t runTime();

  Folder& target_;
  std::string pairName_;
  std::string pairFolderPath_;
  LocalDateTime runStart_;
  std::optional<std::int64_t> runTime_;
  std::unique_ptr<Folder> top_;   // .tavro-historie
  std::unique_ptr<Folder> pair_;  // .../<pair name>
  std::unique_ptr<Folder> run_;   // .../<run start>
  std::string placePath_;         // the relative path `place_` stands for
  std::unique_ptr<Folder> place_;
  std::mutex mutex_;  // over the folders above, for moveIn and linkIn
};

}  // namespace tavro
