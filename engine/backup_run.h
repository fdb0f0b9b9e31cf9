#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/pair_mirror.h"
#include "engine/pair_overlaps.h"
#include "engine/plan.h"
#include "engine/run_display.h"
#include "engine/stop_request.h"
#include "pairs/pair_table.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace tavro {

// Where a run's pair states go while it runs: "Neprovedeno" for every pair
// before the first one runs, then "OK" or "Chyba" as each one finishes
// ("Přerušeno" for the one the user stopped). The
// caller keeps them (the pair table, by row).
class PairStates {
 public:
  virtual ~PairStates() = default;
  // False when the state cannot be recorded (the pair still runs; a final
  // state that cannot be recorded fails it with a line).
  virtual bool record(std::size_t pair, const char* state) = 0;
};

struct PairResult {
  std::string source;              // as stored, naming the pair
  std::vector<Failure> failures;   // what failed, in order
  std::vector<std::string> lines;  // its failures' lines, then its result line
  // Recorded as "OK" (or "Přerušeno"), else as "Chyba".
  bool ok() const { return failures.empty(); }
};

struct RunResult {
  std::vector<PairResult> pairs;   // the pairs run, in order (fewer when stopped)
  std::vector<std::string> lines;  // every line of the run in order: its log entry
  int failedPairs = 0;
  bool stopped = false;      // the program was ending
  bool interrupted = false;  // the user stopped the run ("Přerušit")
  bool anyFailed() const { return stopped || interrupted || failedPairs > 0; }
};

// What a run would do to one pair.
struct PairPreview {
  std::string source;
  std::string target;
  PairPlan plan;
  std::vector<Failure> failures;   // what the pair can tell already would fail
  std::vector<std::string> lines;  // their lines
};

// "Zdroj: <source> — nové: N, změněné: M, smazané: K, celkem X MB".
std::string previewSummary(const PairPreview& pair);

// The backup run over a list of pairs, in order: each pair's source is
// copied into its pair folder and, when deletions are mirrored, what the
// source lacks is removed from there. It shows itself on the display and
// hands back what happened; the caller records it (the log entry, the
// scheduler's flags) and takes the after-run action.
class BackupRun {
 public:
  BackupRun(FileSystem& fs, BackupRunDisplay& display, Clock& clock);

  // Runs a backup, or returns nothing at once when a run is already in
  // progress (a start reached through the message pump).
  std::optional<RunResult> backUp(const std::vector<BackupPair>& pairs, const RunOptions& options,
                                  PairStates& states);

  // What a run with these options would do now, each pair through the same
  // passes as the run, planning instead of acting: nothing changes on disk,
  // nothing is shown but the window's messages let through `display`, and
  // no state is recorded. Nothing when a run is in progress.
  std::optional<std::vector<PairPreview>> preview(const std::vector<BackupPair>& pairs,
                                                  const RunOptions& options);

  bool inProgress() const { return inProgress_; }
  // Ends a run in progress once the pair being run is done (the program is
  // ending): the pairs after it are not run, and the run says so in a line.
  void requestStop() { stopRequested_ = true; }
  // "Přerušit": the file being copied is abandoned, the pair being run ends
  // as "Přerušeno" and the pairs after it are not run.
  void interrupt() {
    if (inProgress_) interrupt_.request();
  }

 private:
  struct Pair {
    std::string source;
    std::string target;
    std::string folder;           // as built from the two, shown in lines
    std::string resolved;         // the real path of the pair folder
    bool backedUpBefore = false;  // its state before this run says so
  };
  static constexpr int kRowsPerPump = 256;

  // Every pair, with every pair's resolved folder and source folder, known
  // before the first pair runs, so that a pair whose deletion pass would
  // reach another pair's backup or source can be told. Both are kept
  // sorted, so that each pair looks them up instead of going through all.
  struct Prepared {
    std::vector<Pair> pairs;
    std::vector<std::string> folders;
    std::vector<FolderId> sources;
  };

  // A pair with its pair folder built and resolved.
  Pair makePair(const BackupPair& pair) const;
  Prepared prepare(const std::vector<BackupPair>& given);
  // The end notice of a run with failed pairs: how many, the first one's
  // source and first failure, and how many more.
  static std::string failureNotice(const RunResult& result, std::size_t pairCount);
  RunResult run(const std::vector<BackupPair>& pairs, const RunOptions& options,
                PairStates& states);
  // Runs one pair, or plans it when `plan` is set; its failures go to
  // `failures`.
  void runPair(const Pair& pair, const RunOptions& options, const Prepared& prepared,
               RunDisplay& display, PairPlan* plan, std::vector<Failure>& failures);
  void pumpNow(std::size_t k);
  void addLine(const std::string& line);
  // A failure of the pair being run: kept in its `failures`, and its line
  // shown.
  void fail(std::vector<Failure>& failures, const Failure& failure);

  FileSystem& fs_;
  BackupRunDisplay& display_;
  Clock& clock_;
  bool inProgress_ = false;
  bool stopRequested_ = false;
  StopRequest interrupt_;
  LocalDateTime runStart_;       // of the run in progress: its history folders' name
  RunResult* result_ = nullptr;  // of the run in progress
  bool showLines_ = true;        // false while a preview collects them
  // How finely each pair folder met by a run keeps times, for the previews.
  std::map<FolderId, TimePrecision> timePrecisions_;
};

}  // namespace tavro
