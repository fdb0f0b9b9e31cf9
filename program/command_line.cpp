#include "program/command_line.h"

#include <chrono>
#include <iostream>
#include <string>

#include "engine/run_display.h"
#include "log/run_log.h"
#include "program/program.h"
#include "schedule/plain_settings_panel.h"

namespace tavro {

namespace {

constexpr const char* kUsage =
    "Použití: tavro [--run [--confirm-deletions] | --help | --version]\n"
    "\n"
    "Bez voleb se spustí program s oknem a ikonou v oznamovací oblasti.\n"
    "\n"
    "  --run      provede jednu zálohu všech párů z Tavro.csv v aktuální složce\n"
    "             s uloženým nastavením, bez okna; řádky zálohy vypíše na\n"
    "             standardní výstup a zapíše je do přehledu. Akce po záloze se\n"
    "             neprovede. Návratový kód: 0 všechny páry OK, 1 některý pár\n"
    "             skončil chybou, 2 zálohu nelze spustit (ve složce není\n"
    "             Tavro.csv nebo ho nelze přečíst, program už běží).\n"
    "  --confirm-deletions\n"
    "             s --run: výmaz, který by vzal většinu zálohy páru (například\n"
    "             po přejmenování velké složky), se provede; bez této volby se\n"
    "             takový výmaz vynechá a pár skončí chybou.\n"
    "  --help     vypíše tuto nápovědu\n"
    "  --version  vypíše verzi programu\n";

// A run shown on the terminal: its lines, nothing else. The pump lets a
// stop request through, so the run stops after the pair it is on.
class TerminalDisplay final : public LinesOnlyDisplay {
 public:
  explicit TerminalDisplay(CommandLineHost& host) : host_(host) {}
  // The program to stop; it is made after its display.
  void stops(Program& program) { program_ = &program; }
  void addLine(const std::string& line) override { std::cout << line << std::endl; }
  void processMessages() override {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < std::chrono::milliseconds(50)) return;
    lastPump_ = now;
    if (program_ != nullptr && !stopping_ && host_.stopRequested()) {
      stopping_ = true;
      program_->stopRun();
    }
  }

 private:
  CommandLineHost& host_;
  Program* program_ = nullptr;
  std::chrono::steady_clock::time_point lastPump_{};
  bool stopping_ = false;
};

// The after-run action is the window program's: a run from the command line
// never shuts the computer down.
class NoPower final : public Power {
 public:
  void requestShutDown() override {}
  void requestSuspend() override {}
};

// No window: nothing to show the table in, no pairs to edit or choose.
class NoWindow final : public ProgramWindow, public FolderChooser {
 public:
  explicit NoWindow(bool confirmDeletions) : confirmDeletions_(confirmDeletions) {}
  void showWarning(const std::string& message) override {
    std::cerr << "tavro: " << message << std::endl;
  }
  void showTable() override {}
  void setPairEditingEnabled(bool) override {}
  // Nobody is there to answer: the user said beforehand with
  // --confirm-deletions, and the question goes to the output with the answer.
  bool confirm(const std::string& question) override {
    std::cout << question << (confirmDeletions_ ? " Ano (--confirm-deletions)" : " Ne")
              << std::endl;
    return confirmDeletions_;
  }
  bool execute(const std::string&, const std::string&) override { return false; }
  std::string path() const override { return {}; }

 private:
  bool confirmDeletions_;
};

int fail(const std::string& message) {
  std::cerr << "tavro: " << message << std::endl;
  return 2;
}

int runOnce(FileSystem& fs, CommandLineHost& host, bool confirmDeletions) {
  const ProgramPaths paths = ProgramPaths::locate();
  // A timer started in the wrong folder must not "succeed" every night with
  // nothing backed up.
  const auto tableFile = fs.absolutePath(paths.pairTable);
  if (tableFile.ok() && !fs.stat(tableFile.value).ok()) {
    return fail("záloha se nespustí, ve složce " + splitPath(tableFile.value).folder + " není " +
                paths.pairTable);
  }
  std::string whyNoLock;
  switch (host.acquireInstance(paths.settingsFile, &whyNoLock)) {
    case CommandLineHost::Lock::Acquired: break;
    case CommandLineHost::Lock::HeldElsewhere:
      return fail("záloha se nespustí, program už běží (nastavení " + paths.settingsFile + ")");
    case CommandLineHost::Lock::Unavailable:
      std::cerr << "tavro: " << whyNoLock << std::endl;
      break;
  }

  SystemClock clock;
  NoPower power;
  TerminalDisplay display(host);
  NoWindow window(confirmDeletions);
  PlainSettingsPanel settings;
  Program program(
      {fs, clock, power, paths, RegionalFormats::fromLocale(), readAheadFromEnvironment()}, display,
      settings, window, window);
  display.stops(program);
  // Every saved setting, as the window would take it, without saving back.
  program.loadSettings();

  try {
    program.openPairTable();
  } catch (const TableError& error) {
    return fail(error.what());
  }
  int status = 0;
  try {
    program.backUp(confirmDeletions ? RunStart::ByUser : RunStart::Scheduled);
  } catch (const TableError& error) {
    return fail(error.what());
  } catch (const LogError& error) {
    std::cerr << "tavro: " << error.what() << std::endl;
    status = 1;
  }
  const PairTable& table = program.table();
  for (int i = 0; i < table.recordCount(); ++i) {
    if (table.fieldTextAt(i, Column::State) != "OK") status = 1;
  }
  try {
    program.end();
  } catch (const TableError& error) {
    std::cerr << "tavro: " << error.what() << std::endl;
    status = 1;
  }
  return status;
}

}  // namespace

std::optional<int> handleCommandLine(const std::vector<std::string>& arguments, FileSystem& fs,
                                     CommandLineHost& host) {
  bool run = false;
  bool confirmDeletions = false;
  for (const std::string& arg : arguments) {
    if (arg == "--help" || arg == "-h") {
      const ProgramPaths paths = ProgramPaths::locate();
      const auto table = fs.absolutePath(paths.pairTable);
      std::cout << kUsage << "\nSoubory programu:\n"
                << fileLocations(paths, table.ok() ? table.value : paths.pairTable);
      return 0;
    }
    if (arg == "--version") {
      std::cout << "Tavro " << TAVRO_VERSION << std::endl;
      return 0;
    }
    if (arg == "--run") {
      run = true;
    } else if (arg == "--confirm-deletions") {
      confirmDeletions = true;
    } else if (arg.rfind("--", 0) == 0) {
      std::cerr << "tavro: neznámá volba " << arg << "\n\n" << kUsage;
      return 2;
    }
  }
  if (confirmDeletions && !run) {
    std::cerr << "tavro: --confirm-deletions patří k --run\n\n" << kUsage;
    return 2;
  }
  if (run) return runOnce(fs, host, confirmDeletions);
  return std::nullopt;
}

}  // namespace tavro
