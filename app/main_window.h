#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/autostart.h"
#include "app/dialogs.h"
#include "app/folder_dialog.h"
#include "app/tray_icon.h"
#include "app/window_layout.h"
#include "app/window_run_display.h"
#include "app/window_settings_panel.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/power.h"
#include "platform/program_paths.h"
#include "platform/regional_formats.h"
#include "program/program.h"

class QTimer;

namespace tavro {

class PairGridModel;

// What the empty pair grid says.
inline constexpr const char* kFirstPairHint =
    "Zatím tu není žádná dvojice složek.\n"
    "Přidejte první tlačítkem „Add source and target“: vyberete složku, která se "
    "má zálohovat, a potom složku, kam se má zálohovat.";
// What the window says when a button has nothing to do.
inline constexpr const char* kNoPairChosen = "Vyberte v tabulce dvojici se zdrojem i cílem.";
inline constexpr const char* kNoHistoryYet =
    "Tato dvojice zatím nemá historii: žádná záloha v jejím cíli nic nesmazala ani nepřepsala.";
inline constexpr const char* kNoLogYet = "Přehled zatím neexistuje: žádná záloha ještě neproběhla.";
inline constexpr const char* kNoTray =
    "Oznamovací oblast panelu zde chybí, okno proto zůstane zobrazené, aby byl program "
    "stále po ruce.";

// What the window is built on; tests pass fakes and temporary paths.
struct Services {
  FileSystem& fs;
  Clock& clock;
  Power& power;
  Dialogs& dialogs;
  ProgramPaths paths;
  RegionalFormats formats;
  bool readAhead = true;  // readAheadFromEnvironment()
  std::function<bool()> trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
  // Opens a text file where the user sees it; false when nothing could be
  // started. Not awaited.
  std::function<bool(const QString&)> openFile{};
  // Opens a folder in the file manager; false when nothing could be
  // started, and `failed` called later when the opener ends with an error.
  // None given: xdg-open, watched.
  std::function<bool(const QString&, std::function<void()> failed)> openFolder{};
  // Sends a notice to the desktop's notification server; false where there
  // is none. None given: the session bus's.
  TrayIcon::Notify notify{};
  // The desktop's autostart entry for this program; none given: the real one.
  std::optional<Autostart> autostart{};
  // Answers the folder dialog in place of the user; none given: the dialog.
  FolderDialog::AnswerHook folderAnswers{};
};

// The main window: its widgets, and the handlers that pass the user's
// commands to the program. The run display and the settings panel are shown
// on the widgets by their adapters. No error leaves a handler: each is shown
// in the default error box.
class MainWindow : public QWidget, private ProgramWindow {
  Q_OBJECT

 public:
  explicit MainWindow(const Services& services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up, after the controls exist.
  void FormCreate();
  // The one-second tick.
  void Timer1Timer();
  // Tray menu "Zobrazit program", and a click on the icon.
  void Zobrazit1Click();

  // Ends the program the orderly way, as "Ukončit program" does; during a
  // run, once the run and its log entry are done.
  void requestEnd();
  // The session is ending (a signal, or the desktop logging out): a run in
  // progress stops after the pair it is on, then the program ends as
  // requestEnd() does.
  void endSoon();
  // Called once the program's event loop runs: an end asked for before
  // could not quit a loop that was not there.
  void mainLoopStarted();
  // Whether an end was asked for (it may still wait for a run or a box).
  bool endRequested() const { return endRequested_; }
  // The end is under way: the event loop was told to quit.
  bool isEnding() const { return ending_; }
  // The end: the pair table closed (and written when it changed), the icon
  // removed. A failed write is shown in the error box.
  void FormDestroy();

  PairTable& table() { return program_.table(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectControls();
  void BitBtn1Click();             // "Schovat"
  void BitBtn2Click();             // "Zálohuj ihned"
  void JvgExtSpeedButton1Click();  // "Zobrazit přehled"
  void historyClick();             // "Historie"
  void previewClick();             // "Náhled"
  void JvXPButton1Click();         // "Uložit"
  void Ukonitprogram1Click();      // tray menu "Ukončit program"
  void startAtLoginClicked(bool checked);
  // Runs a pair list command; the grid then shows the table as it is.
  void pairCommand(void (Program::*command)());
  void showFilePaths();
  // The pair table's whole path once it is open, else its configured name.
  std::string pairTablePath() const;
  void endIfRequested();
  // Runs `action`; an error it throws is shown in the default error box.
  // Returns false when it failed.
  bool guarded(const std::function<void()>& action);

  void showWarning(const std::string& message) override;
  // The grid brought up to the table's rows and current row.
  void showTable() override;
  void setPairEditingEnabled(bool enabled) override;
  bool confirm(const std::string& question) override;

  Services services_;
  WindowControls ui_;
  WindowRunDisplay runDisplay_;
  WindowSettingsPanel settingsPanel_;
  FolderDialog bd1_;
  Program program_;
  PairGridModel* model_ = nullptr;
  QTimer* Timer1 = nullptr;
  int hideCountdown_ = 0;
  bool shown_ = false;  // the window has been on screen
  // Start-up is over: before it, under a start-up error box, the schedule
  // would start runs on a pair table not yet open.
  bool created_ = false;
  // "Schovat" without a tray said why once.
  bool toldNoTray_ = false;
  bool endRequested_ = false;
  bool ending_ = false;
  bool mainLoopRunning_ = false;
};

}  // namespace tavro
