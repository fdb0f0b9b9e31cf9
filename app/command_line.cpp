#include "app/command_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "app/local_text.h"
#include "app/signal_bridge.h"
#include "app/single_instance.h"
#include "engine/run_display.h"
#include "log/run_log.h"
#include "platform/profile_file.h"
#include "program/program.h"
#include "schedule/plain_settings_panel.h"
#include "schedule/settings_rules.h"

namespace tavro {

namespace {

constexpr const char* kUsage =
    "Použití: tavro [--run | --help | --version]\n"
    "\n"
    "Bez voleb se spustí program s oknem a ikonou v oznamovací oblasti.\n"
    "\n"
    "  --run      provede jednu zálohu všech párů z Tavro.csv v aktuální složce\n"
    "             s uloženým nastavením, bez okna; řádky zálohy vypíše na\n"
    "             standardní výstup a zapíše je do přehledu. Akce po záloze se\n"
    "             neprovede. Návratový kód: 0 všechny páry OK, 1 některý pár\n"
    "             skončil chybou, 2 zálohu nelze spustit.\n"
    "  --help     vypíše tuto nápovědu\n"
    "  --version  vypíše verzi programu\n";

// A run shown on the terminal: its lines, nothing else. The pump lets a
// signal through, so the run stops after the pair it is on.
class TerminalDisplay final : public LinesOnlyDisplay {
 public:
  void addLine(const std::string& line) override { std::cout << line << std::endl; }
  void processMessages() override {
    if (!sincePump_.isValid() || sincePump_.hasExpired(50)) {
      QCoreApplication::processEvents();
      sincePump_.restart();
    }
  }

 private:
  QElapsedTimer sincePump_;
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
  void showWarning(const std::string& message) override {
    std::cerr << "tavro: " << message << std::endl;
  }
  void showTable() override {}
  void setPairEditingEnabled(bool) override {}
  // Nobody is there to answer: the run goes as a scheduled one.
  bool confirm(const std::string&) override { return false; }
  bool execute(const std::string&, const std::string&) override { return false; }
  std::string path() const override { return {}; }
};

int fail(const std::string& message) {
  std::cerr << "tavro: " << message << std::endl;
  return 2;
}

int runOnce(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const ProgramPaths paths = ProgramPaths::locate();
  SingleInstance instance(localText(paths.settingsFile));
  if (!instance.acquire()) {
    return fail("záloha se nespustí, program už běží (nastavení " + paths.settingsFile + ")");
  }

  PosixFileSystem fs;
  SystemClock clock;
  NoPower power;
  TerminalDisplay display;
  NoWindow window;
  // The saved settings the run needs, read without saving anything back.
  PlainSettingsPanel settings;
  settings.action = AfterRunAction::Nothing;
  const ProfileFile profile(fs, paths.settingsFile);
  settings.sync = parseSettingsInteger(profile.read("Main", "SYNC", "1")).value_or(1) != 0;
  Program program({fs, clock, power, paths, RegionalFormats::fromLocale()}, display, settings,
                  window, window);
  SignalBridge bridge;
  QObject::connect(&bridge, &SignalBridge::endRequested, [&program] { program.stopRun(); });

  try {
    program.openPairTable();
  } catch (const TableError& error) {
    return fail(error.what());
  }
  int status = 0;
  try {
    program.backUp();
  } catch (const TableError& error) {
    return fail(error.what());
  } catch (const LogError& error) {
    std::cerr << "tavro: " << error.what() << std::endl;
    status = 1;
  }
  const PairTable& table = program.table();
  for (int i = 0; i < table.recordCount(); ++i) {
    if (table.fieldTextAt(i, Column::Stav) != "OK") status = 1;
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

std::optional<int> handleCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "Tavro " << TAVRO_VERSION << std::endl;
      return 0;
    }
    if (arg == "--run") return runOnce(argc, argv);
    if (arg.rfind("--", 0) == 0) {
      std::cerr << "tavro: neznámá volba " << arg << "\n\n" << kUsage;
      return 2;
    }
  }
  return std::nullopt;
}

}  // namespace tavro
