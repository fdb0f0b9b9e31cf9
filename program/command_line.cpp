#include "program/command_line.h"

#include <chrono>
#include <iostream>
#include <string>

#include "engine/run_display.h"
#include "log/run_log.h"
#include "program/program.h"
#include "program/restore_commands.h"
#include "schedule/plain_settings_panel.h"

namespace tavro {

namespace {

constexpr const char* kUsage =
    "Použití: tavro [--run [--confirm-deletions] | --versions CESTA |\n"
    "               --restore CESTA [--as-of \"ČAS\"] [--to ADRESÁŘ] | --help | --version]\n"
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
    "  --versions CESTA\n"
    "             vypíše verze souboru nebo adresáře CESTA ze zdroje některého\n"
    "             páru, které záloha a její historie drží: aktuální a každou\n"
    "             starší s časem zálohy, která ji nahradila nebo smazala.\n"
    "  --restore CESTA\n"
    "             obnoví soubor nebo adresář CESTA ze zálohy do nového adresáře\n"
    "             \"<jméno> (obnoveno <čas>)\" vedle originálu; nic nepřepíše.\n"
    "             Návratový kód: 0 vše obnoveno, 1 něco nešlo obnovit, 2 obnovu\n"
    "             nelze spustit.\n"
    "  --as-of \"rrrr-mm-dd hh.mm.ss\"\n"
    "             s --restore: obnoví stav z tohoto času (čas zálohy z --versions\n"
    "             dá stav těsně před ní); bez této volby aktuální zálohu.\n"
    "  --to ADRESÁŘ\n"
    "             s --restore: obnoví do existujícího ADRESÁŘE; nic tam nepřepíše.\n"
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
  std::optional<std::string> versions, restorePath, asOf, to;
  auto usage = [](const std::string& message) {
    std::cerr << "tavro: " << message << "\n\n" << kUsage;
    return 2;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
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
    } else if (arg == "--versions" || arg == "--restore" || arg == "--as-of" || arg == "--to") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        return usage("k " + arg + " chybí hodnota");
      }
      const std::string& value = arguments[++i];
      (arg == "--versions"  ? versions
       : arg == "--restore" ? restorePath
       : arg == "--as-of"   ? asOf
                            : to) = value;
    } else if (arg.rfind("--", 0) == 0) {
      return usage("neznámá volba " + arg);
    }
  }
  if (confirmDeletions && !run) return usage("--confirm-deletions patří k --run");
  if ((asOf || to) && !restorePath) return usage("--as-of a --to patří k --restore");
  if (int(run) + int(versions.has_value()) + int(restorePath.has_value()) > 1) {
    return usage("--run, --versions a --restore nejdou spolu");
  }
  if (versions) return listVersions(fs, *versions);
  if (restorePath) return restoreFromCommandLine(fs, host, *restorePath, asOf, to);
  if (run) return runOnce(fs, host, confirmDeletions);
  return std::nullopt;
}

}  // namespace tavro
