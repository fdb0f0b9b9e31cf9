#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/backup_run.h"
#include "engine/run_display.h"
#include "pairs/pair_table.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/power.h"
#include "platform/profile_file.h"
#include "platform/program_paths.h"
#include "platform/regional_formats.h"
#include "schedule/scheduler.h"
#include "schedule/settings.h"
#include "schedule/settings_panel.h"

namespace tavro {

// What the program needs of its window besides the run display and the
// settings panel. The window implements it on its widgets; the command line
// and tests on their own.
class ProgramWindow {
 public:
  virtual ~ProgramWindow() = default;
  // A warning the user reads and confirms ("Tavro", warning icon, OK).
  virtual void showWarning(const std::string& message) = 0;
  // The pair table changed: the grid shows it again, with its current row.
  // The program asks for it wherever the table changes (its start, a pair
  // command, each pair of a run, the run's end); the window never needs to
  // on its own.
  virtual void showTable() = 0;
  // Pair editing on or off (off while a run walks the pairs).
  virtual void setPairEditingEnabled(bool enabled) = 0;
  // A question ("Tavro", question icon, Yes and No as the default); true for
  // Yes.
  virtual bool confirm(const std::string& question) = 0;
};

// Who started a run: the user asked with "Zálohuj ihned" (and is there to
// answer questions), or the schedule did.
enum class RunStart { Scheduled, ByUser };

// The folder dialog bd1 as the pair commands use it: it remembers the folder
// last confirmed and opens there.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  // Shows the dialog; true when a folder was confirmed with OK.
  virtual bool execute(const std::string& caption, const std::string& label) = 0;
  // The folder last confirmed; empty until then.
  virtual std::string path() const = 0;
};

struct ProgramServices {
  FileSystem& fs;
  Clock& clock;
  Power& power;
  ProgramPaths paths;
  RegionalFormats formats;
  // Whether runs may look entries up ahead (readAheadFromEnvironment).
  bool readAhead = true;
};

// The program without its widgets: it owns the settings file, the pair table,
// the settings, the scheduler and the backup run, and carries out the
// program's commands. Each command throws the error that ends it (the
// window shows it in its error box); nothing here knows Qt.
class Program {
 public:
  Program(const ProgramServices& services, BackupRunDisplay& display, SettingsPanel& panel,
          ProgramWindow& window, FolderChooser& folders);

  // Start-up: the scheduler's flags cleared and the settings read (and saved
  // back, as every re-read that changes the schedule displays does).
  void readSettings();
  // The saved settings as they are, for a run without a window: nothing is
  // computed, shown or saved back.
  void loadSettings() { settings_.load(); }
  // Start-up: the pair table read and shown. Opened whatever became of the
  // settings, or no backup would run until the next start.
  void openPairTable();

  // The one-second tick: the clock, the schedule, a scheduled run.
  void tick() { scheduler_.tick(); }
  // "Zálohuj ihned" (and a scheduled run): runs every pair, records the
  // states by row, writes the log entry, sets the scheduler's flags and then
  // requests the after-run action. False when a run was already in progress.
  bool backUp(RunStart start = RunStart::Scheduled);
  // "Náhled": what a run would do now, with the settings as the panel shows
  // them; nothing changes and nothing is recorded. Nothing when a run is in
  // progress.
  std::optional<std::vector<PairPreview>> preview();
  // "Uložit".
  void saveSettings() { settings_.save(); }
  // A change of the check box JVCHB1 (shows or hides the fixed-time editor).
  void intervalBoxClicked() { settings_.intervalBoxClicked(); }

  // The four pair commands; each writes the table at its end and shows it,
  // also after a failure.
  void addPair();
  void editSource();
  void editTarget();
  void removePair();

  // The end: writes the pair table when it changed. A failure is thrown
  // after the table closed.
  void end() { table_.close(); }

  bool runInProgress() const { return run_.inProgress(); }
  // The program is ending: a run in progress stops after its pair.
  void stopRun() { run_.requestStop(); }
  // "Přerušit": a run in progress ends at once, within its current pair,
  // and no after-run action follows.
  void interruptRun() { run_.interrupt(); }
  // Where the history of the pair on the table's current row is kept;
  // nothing without a current pair of both folders.
  std::optional<std::string> historyOfCurrentPair();
  // The pair on the table's current row, when it has a source and a target.
  std::optional<BackupPair> currentPair();
  // The lines of the last run.
  const std::vector<std::string>& lastRunLines() const { return lastRunLines_; }

  PairTable& table() { return table_; }
  const PairTable& table() const { return table_; }
  const ProgramPaths& paths() const { return services_.paths; }
  const Scheduler& scheduler() const { return scheduler_; }

 private:
  bool chooseSource();
  bool chooseTarget();
  void changePairFolder(Column column, bool chosen);
  void warnAboutConflicts();
  void takeAfterRunAction();
  std::vector<BackupPair> pairs();
  RunOptions runOptions() const;

  // The run's display, with the grid brought up to the table after each
  // pair (before the pair's state is recorded, as the window always did).
  class TableShowingDisplay final : public BackupRunDisplayWrapper {
   public:
    TableShowingDisplay(BackupRunDisplay& display, ProgramWindow& window)
        : BackupRunDisplayWrapper(display), window_(window) {}
    void pairFinished(int k) override {
      BackupRunDisplayWrapper::pairFinished(k);
      window_.showTable();
    }

   private:
    ProgramWindow& window_;
  };

  ProgramServices services_;
  TableShowingDisplay display_;
  SettingsPanel& panel_;
  ProgramWindow& window_;
  FolderChooser& folders_;
  ProfileFile profile_;
  PairTable table_;
  Scheduler scheduler_;
  Settings settings_;
  BackupRun run_;
  std::vector<std::string> lastRunLines_;
};

// Where the program keeps its three files, each with its caption
// ("Nastavení: ", "Přehled záloh: ", "Seznam párů: "), as the settings
// panel, "O programu" and --help tell them.
struct FileLocation {
  const char* caption;
  std::string path;
};
std::vector<FileLocation> fileLocationList(const ProgramPaths& paths, const std::string& pairTable);
// The same as text, a line each.
std::string fileLocations(const ProgramPaths& paths, const std::string& pairTable);
// The text of "O programu": name, version, what it does, where its files are.
std::string aboutText(const std::string& version, const ProgramPaths& paths,
                      const std::string& pairTable);

}  // namespace tavro
