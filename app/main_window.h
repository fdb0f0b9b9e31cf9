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
#include "program/window_program.h"

class QTimer;

namespace tavro {

class PairGridModel;

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
class MainWindow : public QWidget, private WindowShell {
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
  bool endRequested() const { return core_.endRequested(); }
  // The end is under way: the event loop was told to quit.
  bool isEnding() const { return core_.isEnding(); }
  // The end: the pair table closed (and written when it changed), the icon
  // removed. A failed write is shown in the error box.
  void FormDestroy();

  PairTable& table() { return core_.program().table(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void connectControls();
  void previewClick();  // "Náhled"
  void startAtLoginClicked(bool checked);
  // Runs a pair list command; the grid then shows the table as it is.
  void pairCommand(void (Program::*command)());
  void showFilePaths();

  void showWarning(const std::string& message) override;
  // The grid brought up to the table's rows and current row.
  void showTable() override;
  void setPairEditingEnabled(bool enabled) override;
  bool confirm(const std::string& question) override;
  void showError(const std::string& message) override;
  bool hideToTray() override;
  void showTrayIcon() override;
  void checkTray() override;
  void showPairGauge(bool shown) override;
  bool openLog(const std::string& path) override;
  bool openFolder(const std::string& path, std::function<void()> failed) override;
  bool boxOpen() const override;
  void quit() override;
  void showRestore(RestoreView& view) override;

  Services services_;
  WindowControls ui_;
  WindowRunDisplay runDisplay_;
  WindowSettingsPanel settingsPanel_;
  FolderDialog bd1_;
  WindowProgram core_;
  Program& program_;
  PairGridModel* model_ = nullptr;
  QTimer* Timer1 = nullptr;
};

}  // namespace tavro
