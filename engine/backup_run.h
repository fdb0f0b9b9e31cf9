#pragma once

#include <string>
#include <vector>

#include "engine/pair_mirror.h"
#include "engine/run_display.h"
#include "pairs/pair_table.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/power.h"
#include "schedule/schedule_state.h"
#include "schedule/settings_panel.h"

namespace tavro {

// A line as the window and the log show it: control characters (line breaks
// among them, also U+0085, U+2028 and U+2029) become "?", so that a file name
// can neither split a line nor forge one. The file keeps its real name.
std::string printableLine(const std::string& line);

// Whether the pair folders of two pairs are one folder or one lies inside
// the other (real paths), so that a deletion pass of one reaches the other's
// backup.
bool pairFoldersCollide(FileSystem& fs, const BackupPair& a, const BackupPair& b);
// Whether a pair's folder and its own source overlap (one holds the other).
bool pairOverlapsItsSource(FileSystem& fs, const BackupPair& pair);
// Whether `other`'s source lies in `holder`'s pair folder (real paths), so
// that the deletion pass of `holder` has to pass it over.
bool pairFolderHoldsSource(FileSystem& fs, const BackupPair& holder, const BackupPair& other);

// The backup run over every pair of the table, in table order: each pair's
// source is copied into its pair folder and, when deletions are mirrored,
// what the source lacks is removed from there. Each pair's state ("OK",
// "Chyba", "Neprovedeno") is recorded in the table, its lines go to the
// run's message list, and the after-run action chosen in the settings is
// requested at the end.
class BackupRun {
 public:
  BackupRun(FileSystem& fs, PairTable& table, BackupRunDisplay& display, Clock& clock,
            ScheduleState& state, const SettingsPanel& settings, Power& power);

  // Runs a backup and returns true, or returns false at once when a run is
  // already in progress (a start reached through the message pump). An
  // error outside the single-file operations (from the pair table, say)
  // ends the run where it stood and is thrown; the flags are then not set
  // and no log entry should be written.
  bool Zalohuj();

  bool inProgress() const { return inProgress_; }
  // Ends a run in progress once the pair being run is done (the program is
  // ending): the pairs after it are not run, the run says so in a line, and
  // no after-run action follows.
  void requestStop() { stopRequested_ = true; }

  // The lines of the last run, for its log entry.
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  struct Pair {
    std::string source;
    std::string target;
    std::string folder;    // as built from the two, shown in lines
    std::string resolved;  // the real path of the pair folder
  };
  static constexpr int kRowsPerPump = 256;

  // A pair as read from the table, with its pair folder built and resolved.
  Pair makePair(std::string source, std::string target) const;
  void run();
  // Runs one pair; false when it had any failure. `folders` are every
  // pair's resolved folder and `sources` every pair's source folder, sorted.
  bool runPair(const Pair& pair, const std::vector<std::string>& folders,
               const std::vector<FolderId>& sources);
  // Records a state in the current row; false when its line cannot take it.
  bool recordState(const char* state);
  void pumpNow(int k);
  void addLine(const std::string& line);

  FileSystem& fs_;
  PairTable& table_;
  BackupRunDisplay& display_;
  Clock& clock_;
  ScheduleState& state_;
  const SettingsPanel& settings_;
  Power& power_;
  bool inProgress_ = false;
  bool stopRequested_ = false;
  std::vector<std::string> messages_;
};

}  // namespace tavro
