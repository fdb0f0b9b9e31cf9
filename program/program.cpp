#include "program/program.h"

#include <exception>
#include <utility>

#include "engine/history.h"
#include "log/run_log.h"

namespace tavro {

namespace {

// The pair states of a run go to the table row by row; the table's cursor
// and any edit stay as they are.
class RowStates final : public PairStates {
 public:
  explicit RowStates(PairTable& table) : table_(table) {}
  bool record(std::size_t pair, const char* state) override {
    try {
      table_.setFieldTextAt(static_cast<int>(pair), Column::State, state);
      return true;
    } catch (const TableError&) {
      // A row whose line cannot take the state (it would pass the file's
      // line limit) keeps its old one.
      return false;
    }
  }

 private:
  PairTable& table_;
};

std::string pairName(const BackupPair& pair) { return pair.source + " -> " + pair.target; }

}  // namespace

Program::Program(const ProgramServices& services, BackupRunDisplay& display, SettingsPanel& panel,
                 ProgramWindow& window, FolderChooser& folders)
    : services_(services),
      display_(display, window),
      panel_(panel),
      window_(window),
      folders_(folders),
      profile_(services_.fs, services_.paths.settingsFile),
      table_(services_.fs, services_.paths.pairTable),
      scheduler_(services_.clock, panel_,
                 {[this] { backUp(); }, [this] { return run_.inProgress(); },
                  [this] { settings_.reread(); }}),
      settings_(profile_, panel_, scheduler_, services_.formats),
      run_(services_.fs, display_, services_.clock) {}

void Program::openPairTable() {
  table_.open();
  window_.showTable();
}

void Program::readSettings() {
  scheduler_.startUp();
  settings_.reread();
}

std::vector<BackupPair> Program::pairs() {
  const int n = table_.recordCount();
  std::vector<BackupPair> pairs;
  pairs.reserve(static_cast<std::size_t>(n));
  for (int row = 0; row < n; ++row) pairs.push_back(table_.pairAt(row));
  return pairs;
}

RunOptions Program::runOptions() const {
  const SettingsValues shown = panel_.values();
  RunOptions options;
  options.mirrorDeletions = shown.syncDeletions;
  options.historyDays = shown.historyDays;
  options.readAhead = services_.readAhead;
  return options;
}

std::optional<std::vector<PairPreview>> Program::preview() {
  return run_.preview(pairs(), runOptions());
}

bool Program::backUp(RunStart start) {
  // Read before anything shows: a table that cannot be read ends the command
  // with no run, no flags and no log entry.
  const std::vector<BackupPair> pairs = this->pairs();
  const int n = static_cast<int>(pairs.size());

  window_.setPairEditingEnabled(false);
  struct Reenable {
    ProgramWindow& window;
    ~Reenable() { window.setPairEditingEnabled(true); }
  } reenable{window_};
  RowStates states(table_);
  RunOptions options = runOptions();
  if (start == RunStart::ByUser) {
    options.confirmMassDeletion = [this](std::int64_t files, std::int64_t of,
                                         const std::string& folder) {
      return window_.confirm("Záloha smaže " + std::to_string(files) + " z " + std::to_string(of) +
                             " souborů v " + folder + ". Pokračovat?");
    };
  }
  const auto result = run_.backUp(pairs, options, states);
  if (!result) return false;
  lastRunLines_ = result->lines;
  // The cursor ends on the last row, as a run over the table leaves it.
  if (n > 0) table_.moveTo(n - 1);
  window_.showTable();

  scheduler_.runFinished();
  std::exception_ptr logError;
  try {
    writeRunLog(services_.fs, services_.paths.logFile, lastRunLines_, services_.clock.now(),
                services_.formats);
  } catch (const LogError&) {
    logError = std::current_exception();
  }
  // After the log entry, so that it is on the disk when the computer goes
  // down; not after a run cut short, by the user or because the program is
  // ending.
  if (!result->stopped && !result->interrupted) takeAfterRunAction();
  if (logError) std::rethrow_exception(logError);
  return true;
}

std::optional<BackupPair> Program::currentPair() {
  if (!table_.isOpen() || table_.recordCount() == 0) return std::nullopt;
  BackupPair pair = table_.pairAt(table_.currentIndex());
  if (pair.source.empty() || pair.target.empty()) return std::nullopt;
  return pair;
}

std::optional<std::string> Program::historyOfCurrentPair() {
  const auto pair = currentPair();
  if (!pair) return std::nullopt;
  return historyFolderOf(pair->source, pair->target);
}

void Program::takeAfterRunAction() {
  switch (panel_.values().afterRun) {
    case AfterRunAction::ShutDown: services_.power.requestShutDown(); break;
    case AfterRunAction::Suspend: services_.power.requestSuspend(); break;
    case AfterRunAction::Nothing:
    case AfterRunAction::NotChosen: break;
  }
}

bool Program::chooseSource() {
  return folders_.execute("Vyberte adresář k záloze", "1. Vyberte adresář, který zálohovat.");
}

bool Program::chooseTarget() {
  return folders_.execute("Vyberte adresář kam zálohovat.", "2. Vyberte adresář kam zálohovat.");
}

namespace {

// The grid shows the table as a command left it, even one that failed
// halfway.
struct ShowTableAtEnd {
  ProgramWindow& window;
  ~ShowTableAtEnd() { window.showTable(); }
};

}  // namespace

void Program::addPair() {
  ShowTableAtEnd show{window_};
  if (!chooseSource()) return;
  const std::string source = folders_.path();
  if (!chooseTarget()) return;
  const std::string target = folders_.path();
  table_.insert();
  table_.setFieldText(Column::Source, source);
  table_.setFieldText(Column::Target, target);
  table_.setFieldText(Column::State, "Neprovedeno");
  table_.post();
  warnAboutConflicts();
  table_.flush();
}

void Program::changePairFolder(Column column, bool chosen) {
  if (!chosen) return;
  table_.edit();
  table_.setFieldText(column, folders_.path());
  table_.post();
  table_.flush();
}

void Program::editSource() {
  ShowTableAtEnd show{window_};
  changePairFolder(Column::Source, chooseSource());
}

void Program::editTarget() {
  ShowTableAtEnd show{window_};
  changePairFolder(Column::Target, chooseTarget());
}

void Program::removePair() {
  ShowTableAtEnd show{window_};
  table_.edit();
  table_.remove();
  table_.flush();
}

// A new pair is added as asked, but the user learns before the first run
// that its folder meets another pair's or its own source.
void Program::warnAboutConflicts() {
  const int added = table_.currentIndex();
  const BackupPair pair = table_.pairAt(added);
  if (!pair.target.empty() && liesInHistory(services_.fs, pair.target)) {
    window_.showWarning("Cíl páru " + pairName(pair) + " leží ve složce historie verzí " +
                        kHistoryFolderName + ". Takový pár se při záloze neprovede.");
  }
  if (pairOverlapsItsSource(services_.fs, pair)) {
    window_.showWarning("Cíl páru " + pairName(pair) +
                        " leží ve zdroji nebo zdroj v cíli. Takový pár se při záloze neprovede.");
  }
  for (int i = 0; i < table_.recordCount(); ++i) {
    if (i == added) continue;
    const BackupPair other = table_.pairAt(i);
    if (pairFoldersCollide(services_.fs, pair, other)) {
      window_.showWarning("Cílová složka páru " + pairName(pair) + " se překrývá s párem " +
                          pairName(other) + ". Při záloze se u nich vynechá výmaz.");
      return;
    }
    const bool holdsOther = pairFolderHoldsSource(services_.fs, pair, other);
    if (holdsOther || pairFolderHoldsSource(services_.fs, other, pair)) {
      const BackupPair& holder = holdsOther ? pair : other;
      const BackupPair& held = holdsOther ? other : pair;
      window_.showWarning("Zdroj páru " + pairName(held) + " leží v cílové složce páru " +
                          pairName(holder) + ". Výmaz páru " + pairName(holder) +
                          " tuto složku vynechá.");
      return;
    }
  }
}

std::vector<FileLocation> fileLocationList(const ProgramPaths& paths,
                                           const std::string& pairTable) {
  return {{"Nastavení: ", paths.settingsFile},
          {"Přehled záloh: ", paths.logFile},
          {"Seznam párů: ", pairTable}};
}

std::string fileLocations(const ProgramPaths& paths, const std::string& pairTable) {
  std::string text;
  for (const FileLocation& file : fileLocationList(paths, pairTable)) {
    text += file.caption + file.path + "\n";
  }
  return text;
}

std::string aboutText(const std::string& version, const ProgramPaths& paths,
                      const std::string& pairTable) {
  return "Tavro " + version + "\nZrcadlové zálohování dvojic složek.\n\n" +
         fileLocations(paths, pairTable);
}

}  // namespace tavro
