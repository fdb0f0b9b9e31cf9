#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "app/autostart.h"
#include "app/dialogs.h"
#include "app/folder_dialog.h"
#include "app/tray_icon.h"
#include "engine/run_display.h"
#include "pairs/pair_table.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/power.h"
#include "platform/program_paths.h"
#include "platform/regional_formats.h"
#include "program/program.h"
#include "schedule/settings_panel.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableView;
class QTimeEdit;
class QTimer;

namespace tavro {

class PairGridModel;
class PairGridView;

// What the window is built on; tests pass fakes and temporary paths.
struct Services {
  FileSystem& fs;
  Clock& clock;
  Power& power;
  Dialogs& dialogs;
  ProgramPaths paths;
  RegionalFormats formats;
  std::function<bool()> trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
  // Opens a text file where the user sees it; false when nothing could be
  // started. Not awaited.
  std::function<bool(const QString&)> openFile{};
  // The desktop's autostart entry for this program; none given: the real one.
  std::optional<Autostart> autostart{};
};

// The main window. A switchboard: every operation forwards to the core, and
// the window shows what the core tells it through the run display and the
// settings panel, which it implements on its controls. No error leaves a
// handler: each is shown in the default error box.
class TForm1 : public QWidget,
               public BackupRunDisplay,
               public SettingsPanel,
               public ProgramWindow {
  Q_OBJECT

 public:
  explicit TForm1(const Services& services, QWidget* parent = nullptr);
  ~TForm1() override;

  // Start-up, after the controls exist.
  void FormCreate();
  // The one-second tick.
  void Timer1Timer();

  void BitBtn1Click();               // "Schovat"
  void BitBtn2Click();               // "Zálohuj ihned"
  void JvgExtSpeedButton1Click();    // "Zobrazit přehled"
  void JvXPButton1Click();           // "Uložit"
  void JVCHB1Click();
  void BitBtn3Click();               // "Add source and target"
  void PBEditSrcClick();             // "Edit source"
  void PBEditTrgClick();             // "Edit target"
  void BitBtn4Click();               // "Remove record"
  void Zobrazit1Click();             // tray menu "Zobrazit program", double-click
  void Ukonitprogram1Click();        // tray menu "Ukončit program"

  void Zalohuj();

  // Ends the program the orderly way, as "Ukončit program" does; during a
  // run, once the run and its log entry are done.
  void requestEnd();
  // The session is ending (a signal, or the desktop logging out): a run in
  // progress stops after the pair it is on, then the program ends as
  // requestEnd() does.
  void endSoon();
  // The end: the pair table closed (and written when it changed), the icon
  // removed. A failed write is shown in the error box.
  void FormDestroy();

  TrayIcon& tray() { return *tray_; }
  FolderDialog& bd1() { return bd1_; }
  PairGridView& grid() { return *grid_; }
  PairTable& table() { return program_.table(); }
  bool isEnding() const { return ending_; }
  // Whether an end was asked for (it may still wait for a run or a box).
  bool endRequested() const { return endRequested_; }
  // Called once the program's event loop runs: an end asked for before
  // could not quit a loop that was not there.
  void mainLoopStarted();
  bool settingsPanelOpen() const;
  void setSettingsPanelOpen(bool open);

  // Run display.
  void fileCopyStarted(const std::string& sourcePath) override;
  void fileGaugeRange(int maximum) override;
  void fileGaugeProgress(int position) override;
  void fileCopyFinished() override;
  void fileDeletionStarted(const std::string& targetPath) override;
  void fileDeletionFinished() override;
  void addLine(const std::string& line) override;
  void processMessages() override;
  void runStarted() override;
  void setStatus(const std::string& caption, const std::string& trayHint) override;
  void showBalloon(const std::string& title, const std::string& text, BalloonIconKind kind,
                   int seconds) override;
  void showProgress(int pairCount) override;
  void pairStarted(int k, int n, const std::string& source, const std::string& target) override;
  void pairFinished(int k) override;
  void setLastRun(const std::string& text) override;
  void hideProgress() override;
  void runFinished(bool withFailures) override;

  // Settings panel.
  TimeOfDay fixedTimeEditor() const override;
  void setFixedTimeEditor(const TimeOfDay& time) override;
  void setFixedTimeEditorVisible(bool visible) override;
  bool intervalChecked() const override;
  void setIntervalChecked(bool checked) override;
  std::string afterStartMinutes() const override;
  void setAfterStartMinutes(const std::string& text) override;
  std::string repeatMinutes() const override;
  void setRepeatMinutes(const std::string& text) override;
  AfterRunAction afterRunAction() const override;
  void setAfterRunAction(AfterRunAction action) override;
  IntervalMode intervalMode() const override;
  void setIntervalMode(IntervalMode mode) override;
  bool syncDeletions() const override;
  void setSyncDeletions(bool checked) override;
  void collapse() override;
  std::string scheduleDisplay(ScheduleDisplay which) const override;
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text) override;
  void setMinutesDisplay(const std::string& text) override;
  void showModeControls(ScheduleMode mode) override;
  void showClock(const std::string& date, const std::string& time) override;

  // What the program needs of the window besides those.
  void showWarning(const std::string& message) override;
  // The grid brought up to the table's rows and current row.
  void showTable() override;
  void setPairEditingEnabled(bool enabled) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  enum class StatusLook { Waiting, Running, Failed };
  void setStatusLook(StatusLook look);
  // Brings Label18 and G2 up to what the run last set.
  void showCurrentFile();
  // The current pair's labels emptied, their captions and "/" hidden.
  void clearPairLabels();
  void endIfRequested();
  // Runs a pair list command; the grid then shows the table as it is.
  void pairCommand(void (Program::*command)());
  // Runs `action`; an error it throws is shown in the default error box.
  // Returns false when it failed.
  bool guarded(const std::function<void()>& action);

  Services services_;
  static constexpr int kPanelBodyHeight = 290;
  QLabel* filePaths_ = nullptr;
  QCheckBox* startAtLogin_ = nullptr;
  void startAtLoginClicked(bool checked);
  void showFilePaths();
  int hideCountdown_ = 0;
  bool shown_ = false;  // the window has been on screen
  bool endRequested_ = false;
  bool ending_ = false;
  bool mainLoopRunning_ = false;
  int gaugeMaximum_ = 0;
  QString shownFile_;            // Label18 as the run last set it
  bool fileGaugeShown_ = false;  // G2 as the run last set it
  static constexpr qint64 kPumpInterval = 15;   // milliseconds
  static constexpr qint64 kPaintInterval = 40;  // milliseconds
  QElapsedTimer sincePump_;
  QElapsedTimer sinceGaugePaint_;
  FolderDialog bd1_;
  Program program_;

  TrayIcon* tray_ = nullptr;
  QTimer* Timer1 = nullptr;
  PairGridModel* model_ = nullptr;

  QLineEdit* ECas = nullptr;
  QLineEdit* EVarCas = nullptr;
  QLineEdit* Emin = nullptr;
  QLabel* LKaz = nullptr;
  QLabel* Lm = nullptr;
  QLabel* Lmin = nullptr;
  QLabel* LVarCas = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label14 = nullptr;
  QLabel* Label15 = nullptr;
  QLabel* Label16 = nullptr;
  QLabel* Label17 = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* Label19 = nullptr;
  QProgressBar* G1 = nullptr;
  QProgressBar* G2 = nullptr;
  QListWidget* LB2 = nullptr;
  PairGridView* grid_ = nullptr;
  std::vector<QPushButton*> pairButtons_;

  QWidget* JvRollOut1 = nullptr;
  QWidget* rollOutBody_ = nullptr;
  QLabel* cxLabel2 = nullptr;
  QTimeEdit* cxTimeEdit1 = nullptr;
  QCheckBox* JVCHB1 = nullptr;
  QLineEdit* cxTextEdit1 = nullptr;
  QLineEdit* cxTextEdit2 = nullptr;
  QButtonGroup* RG1 = nullptr;
  QButtonGroup* RG2 = nullptr;
  QCheckBox* JvCheckBox1 = nullptr;
};

}  // namespace tavro
