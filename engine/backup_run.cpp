#include "engine/backup_run.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace tavro {

namespace {

// Passes everything on to the window but the failures, which go to the run
// first: the pair's state comes from them, and the log needs their lines.
class FailureKeeper final : public RunDisplayWrapper {
 public:
  FailureKeeper(RunDisplay& display, std::function<void(const Failure&)> fail)
      : RunDisplayWrapper(display), fail_(std::move(fail)) {}

  void failed(const Failure& failure) override { fail_(failure); }

 private:
  std::function<void(const Failure&)> fail_;
};

// Whether another pair's folder is `folder` or lies inside it; `folders`
// holds every pair's folder once, sorted, `folder` among them.
bool anotherPairFolderIn(const std::string& folder, const std::vector<std::string>& folders) {
  const auto [same, after] = std::equal_range(folders.begin(), folders.end(), folder);
  if (after - same > 1) return true;
  if (!folder.empty() && folder.size() == rootLengthOf(folder)) return folders.size() > 1;
  const std::string below = joinPath(folder, "");
  const auto first = std::lower_bound(folders.begin(), folders.end(), below);
  return first != folders.end() && first->starts_with(below);
}

class InProgress {
 public:
  explicit InProgress(bool& flag) : flag_(flag) { flag_ = true; }
  ~InProgress() { flag_ = false; }
  InProgress(const InProgress&) = delete;
  InProgress& operator=(const InProgress&) = delete;

 private:
  bool& flag_;
};

}  // namespace

std::string previewSummary(const PairPreview& pair) {
  const PairPlan& plan = pair.plan;
  char megabytes[32];
  std::snprintf(megabytes, sizeof megabytes, "%.1f",
                static_cast<double>(plan.bytes) / (1024.0 * 1024.0));
  std::string shown = megabytes;
  std::replace(shown.begin(), shown.end(), '.', ',');  // as Czech writes decimals
  return "Zdroj: " + pair.source + " — nové: " + std::to_string(plan.newFiles) +
         ", změněné: " + std::to_string(plan.changedFiles) +
         ", smazané: " + std::to_string(plan.deletedFiles) + ", celkem " + shown + " MB";
}

BackupRun::BackupRun(FileSystem& fs, BackupRunDisplay& display, Clock& clock)
    : fs_(fs), display_(display), clock_(clock) {}

std::optional<RunResult> BackupRun::backUp(const std::vector<BackupPair>& pairs,
                                           const RunOptions& options, PairStates& states) {
  if (inProgress_) return std::nullopt;
  InProgress running(inProgress_);
  return run(pairs, options, states);
}

void BackupRun::addLine(const std::string& line) {
  result_->lines.push_back(printableLine(line));
  if (showLines_) display_.addLine(result_->lines.back());
}

void BackupRun::fail(std::vector<Failure>& failures, const Failure& failure) {
  failures.push_back(failure);
  addLine(failureLine(failure));
}

BackupRun::Pair BackupRun::makePair(const BackupPair& given) const {
  Pair pair{given.source, given.target, {}, {}, given.state == "OK" || given.state == "Přerušeno"};
  pair.folder = pairFolderOf(pair.source, pair.target);
  if (!pair.source.empty() && !pair.target.empty()) pair.resolved = fs_.resolve(pair.folder);
  return pair;
}

void BackupRun::pumpNow(std::size_t k) {
  // Often enough that the window answers during a table of many pairs, rarely
  // enough that a short table shows no extra pump.
  if (k > 0 && k % kRowsPerPump == 0) display_.processMessages();
}

RunResult BackupRun::run(const std::vector<BackupPair>& given, const RunOptions& options,
                         PairStates& states) {
  RunResult result;
  result_ = &result;
  stopRequested_ = false;
  interrupt_.clear();
  runStart_ = clock_.now();
  display_.runStarted();
  display_.setStatus("Zálohuji data", "Zálohuji data ...");
  display_.showBalloon("Tavro", "Spuštěno automatické zálohování...", BalloonIconKind::Information,
                       10);
  const std::size_t n = given.size();
  display_.showProgress(static_cast<int>(n));

  for (std::size_t k = 0; k < n && !stopRequested_; ++k) {
    (void)states.record(k, "Neprovedeno");
    pumpNow(k + 1);
  }

  const Prepared prepared = prepare(given);
  for (std::size_t k = 0; k < prepared.pairs.size() && !stopRequested_ && !result.interrupted;
       ++k) {
    const Pair& pair = prepared.pairs[k];
    const int number = static_cast<int>(k + 1);
    display_.pairStarted(number, static_cast<int>(n), pair.source, pair.target);
    const std::size_t linesBefore = result.lines.size();
    PairResult& done = result.pairs.emplace_back();
    done.source = pair.source;
    runPair(pair, options, prepared, display_, nullptr, done.failures);
    display_.pairFinished(number);
    result.interrupted = interrupt_.requested();
    const char* state = result.interrupted ? "Přerušeno" : done.ok() ? "OK" : "Chyba";
    if (!states.record(k, state)) fail(done.failures, {FailureKind::StateNotRecorded, pair.source});
    const bool ok = done.ok();
    if (!ok && !result.interrupted) ++result.failedPairs;
    const LocalDateTime now = clock_.now();
    const char* outcome = result.interrupted ? "- Záloha přerušena: "
                          : ok               ? "- Záloha OK: "
                                             : "- Záloha s chybami: ";
    // No space between the date and the time: every log written so far has
    // the line so, and whoever reads the logs relies on it.
    addLine(formatDayMonthYear(now) + formatHourMinute(now.hour, now.minute) + outcome +
            pair.source);
    done.lines.assign(result.lines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                      result.lines.end());
    // Pairs that fail at once (a missing source) pump nothing themselves.
    pumpNow(k + 1);
  }
  result.stopped = stopRequested_;
  if (result.stopped) addLine("Záloha přerušena ukončením programu !!!");

  // "Poslední úspěšné zpracování" promises a backup that is whole: a run
  // that failed somewhere, or was cut short, leaves the last such time shown.
  if (!result.anyFailed()) {
    const LocalDateTime end = clock_.now();
    display_.setLastRun(formatDayMonthYear(end) + " " + formatHourMinute(end.hour, end.minute));
  }
  display_.hideProgress();
  display_.processMessages();
  if (result.interrupted) {
    display_.setStatus("Záloha přerušena ...", "Záloha přerušena .");
  } else if (result.anyFailed()) {
    display_.setStatus("Záloha provedena s chybami ...", "Záloha s chybami .");
  } else {
    display_.setStatus("Záloha provedena ...", "Záloha OK .");
  }
  display_.runFinished(result.anyFailed());
  // The start balloon said a run began; a run that did not go well says so
  // at its end too.
  if (result.failedPairs > 0) {
    display_.showBalloon("Tavro", failureNotice(result, n), BalloonIconKind::Warning, 10);
  }
  result_ = nullptr;
  return result;
}

std::string BackupRun::failureNotice(const RunResult& result, std::size_t pairCount) {
  std::string text =
      "Záloha s chybami: " + std::to_string(result.failedPairs) + " z " + std::to_string(pairCount);
  // The first failed pair and what went wrong first, so the user knows
  // where to look without opening the window.
  for (const PairResult& pair : result.pairs) {
    if (pair.ok()) continue;
    text += "\n" + pair.source + "\n" + printableLine(failureLine(pair.failures.front()));
    break;
  }
  if (result.failedPairs > 1) {
    text += "\nDalší páry s chybami: " + std::to_string(result.failedPairs - 1);
  }
  return text;
}

BackupRun::Prepared BackupRun::prepare(const std::vector<BackupPair>& given) {
  Prepared prepared;
  for (std::size_t k = 0; k < given.size() && !stopRequested_; ++k) {
    const Pair& pair = prepared.pairs.emplace_back(makePair(given[k]));
    if (!pair.resolved.empty()) prepared.folders.push_back(pair.resolved);
    if (!pair.source.empty()) {
      if (auto folder = fs_.openFolder(pair.source); folder.ok()) {
        prepared.sources.push_back(folder.value->id());
      }
    }
    pumpNow(k + 1);
  }
  std::sort(prepared.folders.begin(), prepared.folders.end());
  std::sort(prepared.sources.begin(), prepared.sources.end());
  return prepared;
}

std::optional<std::vector<PairPreview>> BackupRun::preview(const std::vector<BackupPair>& given,
                                                           const RunOptions& options) {
  if (inProgress_) return std::nullopt;
  InProgress running(inProgress_);
  RunResult lines;
  result_ = &lines;
  showLines_ = false;
  stopRequested_ = false;
  interrupt_.clear();
  runStart_ = clock_.now();
  QuietDisplay quiet(display_);
  std::vector<PairPreview> previews;
  const Prepared prepared = prepare(given);
  for (const Pair& pair : prepared.pairs) {
    if (stopRequested_) break;
    PairPreview& preview = previews.emplace_back();
    preview.source = pair.source;
    preview.target = pair.target;
    const std::size_t before = lines.lines.size();
    runPair(pair, options, prepared, quiet, &preview.plan, preview.failures);
    preview.lines.assign(lines.lines.begin() + static_cast<std::ptrdiff_t>(before),
                         lines.lines.end());
  }
  result_ = nullptr;
  showLines_ = true;
  return previews;
}

void BackupRun::runPair(const Pair& pair, const RunOptions& runOptions, const Prepared& prepared,
                        RunDisplay& display, PairPlan* plan, std::vector<Failure>& failures) {
  const auto& folders = prepared.folders;
  const auto& sources = prepared.sources;
  if (pair.source.empty() || pair.target.empty()) {
    fail(failures, Failure::ofPair(FailureKind::IncompletePair, pair.source, pair.target));
    return;
  }
  if (pairOverlapsItsSource(fs_, {pair.source, pair.target, {}})) {
    fail(failures, {FailureKind::OverlappingPair, pair.source});
    return;
  }
  PairOptions options{runOptions};
  options.sharesPairFolder = anotherPairFolderIn(pair.resolved, folders);
  options.otherSources = sources;
  options.stop = &interrupt_;
  options.runStart = runStart_;
  options.plan = plan;
  options.backedUpBefore = pair.backedUpBefore;
  options.timePrecisions = &timePrecisions_;

  FailureKeeper keeper(display,
                       [this, &failures](const Failure& failure) { fail(failures, failure); });
  mirrorPair(fs_, keeper, pair.source, pair.target, options);
}

}  // namespace tavro
