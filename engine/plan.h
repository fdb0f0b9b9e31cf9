#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

enum class Change : std::uint8_t {
  New,      // a file the copy pass would copy where the pair folder has none
  Changed,  // an outdated copy it would replace
  Deleted,  // what the deletion pass would remove (or move to the history)
};

struct PlannedEntry {
  Change change = Change::New;
  bool folder = false;     // a whole folder the deletion pass would remove
  std::int64_t size = 0;   // a file's bytes; 0 for a folder or a link
  std::string path;        // as the run's lines name it: the source file for copies
};

// What a pass would do to one pair, found without changing anything on disk.
struct PairPlan {
  // Off where only the counts matter: the entries are not kept, and sizes
  // are not looked up.
  bool keepEntries = true;
  std::vector<PlannedEntry> entries;
  std::int64_t newFiles = 0;
  std::int64_t changedFiles = 0;
  std::int64_t deletedFiles = 0;  // files and links, those inside removed folders included
  std::int64_t deletedFolders = 0;
  std::int64_t bytes = 0;         // of the files to copy and to delete
  // Files and links the deletion pass met in the pair folder.
  std::int64_t pairFolderFiles = 0;
  // Copies whose name differs from their source's only in letter case, to be
  // renamed on a file system that ignores case.
  std::int64_t caseRenames = 0;
  // Files an interrupted copy left under a temporary name: removed, never
  // kept as versions, and no deletions of the user's.
  std::int64_t leftovers = 0;

  void add(Change change, bool folder, std::int64_t size, const std::string& path) {
    if (folder) {
      ++deletedFolders;
    } else {
      bytes += size;
      ++(change == Change::New ? newFiles : change == Change::Changed ? changedFiles : deletedFiles);
    }
    if (keepEntries) entries.push_back({change, folder, size, path});
  }
  // Whether the deletion pass would change anything.
  bool deletes() const { return deletedFiles > 0 || deletedFolders > 0 || caseRenames > 0 || leftovers > 0; }
};

}  // namespace tavro
