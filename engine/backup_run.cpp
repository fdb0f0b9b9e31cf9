#include "engine/backup_run.h"

#include <functional>

namespace tavro {

namespace {

// Passes everything on to the window but the lines, which go to the run's
// message list first: the log needs them, and they tell a pair with failures.
class LineKeeper final : public RunDisplay {
 public:
  LineKeeper(RunDisplay& display, std::function<void(const std::string&)> addLine)
      : display_(display), addLine_(std::move(addLine)) {}

  void fileCopyStarted(const std::string& path) override { display_.fileCopyStarted(path); }
  void fileGaugeRange(int maximum) override { display_.fileGaugeRange(maximum); }
  void fileGaugeProgress(int position) override { display_.fileGaugeProgress(position); }
  void fileCopyFinished() override { display_.fileCopyFinished(); }
  void fileDeletionStarted(const std::string& path) override {
    display_.fileDeletionStarted(path);
  }
  void fileDeletionFinished() override { display_.fileDeletionFinished(); }
  void addLine(const std::string& line) override { addLine_(line); }
  void processMessages() override { display_.processMessages(); }

 private:
  RunDisplay& display_;
  std::function<void(const std::string&)> addLine_;
};

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

std::string printableLine(const std::string& line) {
  std::string shown;
  shown.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    const auto next = i + 1 < line.size() ? static_cast<unsigned char>(line[i + 1]) : 0;
    const auto third = i + 2 < line.size() ? static_cast<unsigned char>(line[i + 2]) : 0;
    if (c < 0x20 || c == 0x7F) {
      shown += '?';
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080..U+009F
      shown += '?';
      i += 1;
    } else if (c == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {  // U+2028, U+2029
      shown += '?';
      i += 2;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

bool pairFoldersCollide(FileSystem& fs, const BackupPair& a, const BackupPair& b) {
  if (a.Src.empty() || a.Trg.empty() || b.Src.empty() || b.Trg.empty()) return false;
  const std::string first = fs.resolve(pairFolderOf(a.Src, a.Trg));
  const std::string second = fs.resolve(pairFolderOf(b.Src, b.Trg));
  return isSameOrInside(first, second) || isSameOrInside(second, first);
}

bool pairOverlapsItsSource(FileSystem& fs, const BackupPair& pair) {
  if (pair.Src.empty() || pair.Trg.empty()) return false;
  const std::string folder = fs.resolve(pairFolderOf(pair.Src, pair.Trg));
  const std::string source = fs.resolve(pair.Src);
  return isSameOrInside(folder, source) || isSameOrInside(source, folder);
}

bool pairFolderHoldsSource(FileSystem& fs, const BackupPair& holder, const BackupPair& other) {
  if (holder.Src.empty() || holder.Trg.empty() || other.Src.empty()) return false;
  return isSameOrInside(fs.resolve(other.Src), fs.resolve(pairFolderOf(holder.Src, holder.Trg)));
}

BackupRun::BackupRun(FileSystem& fs, PairTable& table, BackupRunDisplay& display, Clock& clock,
                     ScheduleState& state, const SettingsPanel& settings, Power& power)
    : fs_(fs),
      table_(table),
      display_(display),
      clock_(clock),
      state_(state),
      settings_(settings),
      power_(power) {}

bool BackupRun::Zalohuj() {
  if (inProgress_) return false;
  InProgress running(inProgress_);
  run();
  return true;
}

void BackupRun::addLine(const std::string& line) {
  messages_.push_back(printableLine(line));
  display_.addLine(messages_.back());
}

void BackupRun::recordState(const char* state) {
  table_.edit();
  table_.setFieldText("Stav", state);
  table_.post();
}

BackupRun::Pair BackupRun::makePair(std::string source, std::string target) const {
  Pair pair{std::move(source), std::move(target), {}, {}, {}};
  pair.folder = pairFolderOf(pair.source, pair.target);
  if (!pair.source.empty() && !pair.target.empty()) pair.resolved = fs_.resolve(pair.folder);
  if (!pair.source.empty()) {
    if (auto folder = fs_.openFolder(pair.source); folder.ok()) pair.sourceId = folder.value->id();
  }
  return pair;
}

void BackupRun::run() {
  messages_.clear();
  display_.runStarted();
  display_.setStatus("Zálohuji data", "Zálohuji data ...");
  display_.showBalloon("Tavro", "Spuštěno automatické zálohování...", BalloonIconKind::Information,
                       10);
  const int n = table_.recordCount();
  display_.showProgress(n);

  table_.first();
  for (int k = 0; k < n; ++k) {
    recordState("Neprovedeno");
    table_.next();
  }

  // Every pair's folder, known before the first is run, so that a pair whose
  // deletion pass would reach into another pair's backup can be told.
  std::vector<Pair> pairs;
  for (int k = 0; k < n; ++k) {
    pairs.push_back(makePair(table_.fieldTextAt(k, "Src"), table_.fieldTextAt(k, "Trg")));
  }

  bool anyFailed = false;
  table_.first();
  for (int k = 1; k <= n; ++k) {
    const Pair& pair = pairs[static_cast<std::size_t>(k - 1)];
    display_.pairStarted(k, n, pair.source, pair.target);
    const bool ok = runPair(static_cast<std::size_t>(k - 1), pair, pairs);
    anyFailed = anyFailed || !ok;
    display_.pairFinished(k);
    const LocalDateTime now = clock_.now();
    addLine(formatDayMonthYear(now) + formatHourMinute(now.hour, now.minute) +
            (ok ? "- Záloha OK: " : "- Záloha s chybami: ") + pair.source);
    recordState(ok ? "OK" : "Chyba");
    table_.next();
  }

  const LocalDateTime end = clock_.now();
  display_.setLastRun(formatDayMonthYear(end) + " " + formatHourMinute(end.hour, end.minute));
  display_.hideProgress();
  state_.advancePending = true;
  state_.backupRan = true;
  display_.processMessages();
  if (anyFailed) {
    display_.setStatus("Záloha provedena s chybami ...", "Záloha s chybami .");
  } else {
    display_.setStatus("Záloha provedena ...", "Záloha OK .");
  }
  display_.runFinished();

  switch (settings_.afterRunAction()) {
    case 0: power_.requestShutDown(); break;
    case 1: power_.requestSuspend(); break;
    default: break;
  }
}

bool BackupRun::runPair(std::size_t index, const Pair& pair, const std::vector<Pair>& all) {
  if (pair.source.empty() || pair.target.empty()) {
    addLine("Neúplný pár: " + pair.source + " -> " + pair.target + " !!!");
    return false;
  }
  if (pairOverlapsItsSource(fs_, {pair.source, pair.target, {}})) {
    addLine("Cíl a zdroj se překrývají: " + pair.source + " !!!");
    return false;
  }
  bool shared = false;
  PairOptions options;
  for (std::size_t j = 0; j < all.size(); ++j) {
    if (j == index) continue;
    if (all[j].sourceId) options.otherSources.push_back(*all[j].sourceId);
    if (!all[j].resolved.empty() && isSameOrInside(all[j].resolved, pair.resolved)) shared = true;
  }
  if (!settings_.syncDeletions()) {
    options.deletions = Deletions::Keep;
  } else if (shared) {
    options.deletions = Deletions::Shared;
  }

  const std::size_t linesBefore = messages_.size();
  LineKeeper keeper(display_, [this](const std::string& line) { addLine(line); });
  mirrorPair(fs_, keeper, pair.source, pair.target, options);
  return messages_.size() == linesBefore;
}

}  // namespace tavro
