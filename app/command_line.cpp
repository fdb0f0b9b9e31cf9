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
#include "engine/backup_run.h"
#include "log/run_log.h"
#include "pairs/pair_table.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/power.h"
#include "platform/profile_file.h"
#include "platform/program_paths.h"
#include "platform/regional_formats.h"
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
  const RegionalFormats formats = RegionalFormats::fromLocale();
  PlainSettingsPanel settings;
  settings.action = AfterRunAction::Nothing;
  const ProfileFile profile(fs, paths.settingsFile);
  settings.sync = parseSettingsInteger(profile.read("Main", "SYNC", "1")).value_or(1) != 0;

  PairTable table(fs, paths.pairTable);
  try {
    table.open();
  } catch (const TableError& error) {
    return fail(error.what());
  }
  TerminalDisplay display;
  ScheduleState state;
  NoPower power;
  BackupRun run(fs, table, display, clock, state, settings, power);
  SignalBridge bridge;
  QObject::connect(&bridge, &SignalBridge::endRequested, [&run] { run.requestStop(); });
  try {
    run.Zalohuj();
  } catch (const TableError& error) {
    return fail(error.what());
  }

  int status = 0;
  for (int i = 0; i < table.recordCount(); ++i) {
    if (table.fieldTextAt(i, Column::Stav) != "OK") status = 1;
  }
  try {
    ZapisLog(fs, paths.logFile, run.messages(), clock.now(), formats);
  } catch (const LogError& error) {
    std::cerr << "tavro: " << error.what() << std::endl;
    status = 1;
  }
  try {
    table.close();
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
