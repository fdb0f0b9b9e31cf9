#pragma once

#include <functional>
#include <string>

#include "program/program.h"
#include "program/restore_view.h"

namespace tavro {

// What the window says when a button has nothing to do, and what the empty
// pair grid says; both window shells show the same.
inline constexpr const char* kFirstPairHint =
    "Zatím tu není žádná dvojice složek.\n"
    "Přidejte první tlačítkem „Add source and target“: vyberete složku, která se "
    "má zálohovat, a potom složku, kam se má zálohovat.";
inline constexpr const char* kNoPairChosen = "Vyberte v tabulce dvojici se zdrojem i cílem.";
inline constexpr const char* kNoHistoryYet =
    "Tato dvojice zatím nemá historii: žádná záloha v jejím cíli nic nesmazala ani nepřepsala.";
inline constexpr const char* kNoBackupYet =
    "Tato dvojice zatím nemá zálohu: v jejím cíli není nic, co by šlo obnovit.";
inline constexpr const char* kNoRestoreDuringRun =
    "Během zálohy nelze obnovovat. Počkejte na její konec.";
inline constexpr const char* kNoLogYet = "Přehled zatím neexistuje: žádná záloha ještě neproběhla.";
inline constexpr const char* kNoTray =
    "Oznamovací oblast panelu zde chybí, okno proto zůstane zobrazené, aby byl program "
    "stále po ruce.";

// The text the error box shows: the message with a full stop added unless it
// already ends in "." or a character that sorts at or below it.
std::string errorBoxText(const std::string& message);

// What the window program needs of a window shell besides the pair grid and
// the questions: its boxes, the tray, the openers and its message loop.
class WindowShell : public ProgramWindow {
 public:
  // The default error box: "Tavro", error icon, OK.
  virtual void showError(const std::string& message) = 0;
  // False, the window left shown, without a tray to bring it back from.
  virtual bool hideToTray() = 0;
  virtual void showTrayIcon() = 0;
  // Re-adds the tray icon when a tray has appeared since it was shown.
  virtual void checkTray() = 0;
  // The pair gauge G1.
  virtual void showPairGauge(bool shown) = 0;
  // Opens the log where the user reads it; false when nothing could be
  // started. Not awaited.
  virtual bool openLog(const std::string& path) = 0;
  // Opens a folder in the file manager; false when nothing could be
  // started, and `failed` called later when the opener ends with an error.
  virtual bool openFolder(const std::string& path, std::function<void()> failed) = 0;
  // "Obnovit ze zálohy" for a pair, as a dialog the end waits for.
  virtual void showRestore(RestoreView& view) = 0;
  // A message box or dialog is open: the end waits until it is closed.
  virtual bool boxOpen() const = 0;
  // Leaves the message loop; the program ends.
  virtual void quit() = 0;
};

// The program as a window drives it: start-up, the tick with the one-time
// hide into the tray, the buttons that need no widget of their own, and the
// orderly end, which waits for a run and for open boxes. No error leaves a
// command: each is shown in the shell's error box.
class WindowProgram {
 public:
  WindowProgram(const ProgramServices& services, BackupRunDisplay& display, SettingsPanel& panel,
                WindowShell& shell, FolderChooser& folders);

  // Start-up, after the controls exist: the waiting status shown, the
  // settings read, the pair table opened. True when the table is open.
  bool start();
  // The one-second tick.
  void tick();
  // The window appeared; true the first time, when the tick that will hide
  // it should be a whole second away.
  bool windowShown();

  void hide();          // "Schovat"
  void backUpNow();     // "Zálohuj ihned"
  void showLog();       // "Zobrazit přehled"
  void showHistory();   // "Historie"
  void restore();       // "Obnovit"
  void saveSettings();  // "Uložit"

  // Ends the program the orderly way, as "Ukončit program" does; during a
  // run, once the run and its log entry are done.
  void requestEnd();
  // The session is ending: a run in progress stops after the pair it is
  // on, then the program ends as requestEnd() does.
  void endSoon();
  // The message loop runs: an end asked for before could not leave a loop
  // that was not there.
  void mainLoopStarted();
  // Ends the program now if an end was asked for and nothing holds it.
  void endIfRequested();
  bool endRequested() const { return endRequested_; }
  // The end is under way: the message loop was told to quit.
  bool isEnding() const { return ending_; }
  // The end: the pair table closed (and written when it changed).
  void finish();

  // Runs `action`; an error it throws is shown in the error box. False when
  // it failed.
  bool guarded(const std::function<void()>& action);

  // The pair table's whole path once it is open, else its configured name.
  std::string pairTablePath() const;

  Program& program() { return program_; }
  const Program& program() const { return program_; }

 private:
  // A restore is copying out of the backup: no run may change it meanwhile.
  bool restoreCopying() const { return restoreShown_ != nullptr && restoreShown_->restoring(); }

  ProgramServices services_;
  BackupRunDisplay& display_;
  WindowShell& shell_;
  Program program_;
  int hideCountdown_ = 0;
  bool shown_ = false;  // the window has been on screen
  // Start-up is over: before it, under a start-up error box, the schedule
  // would start runs on a pair table not yet open.
  bool created_ = false;
  bool toldNoTray_ = false;  // "Schovat" without a tray said why once
  bool endRequested_ = false;
  bool ending_ = false;
  RestoreView* restoreShown_ = nullptr;  // the restore dialog open now
  bool mainLoopRunning_ = false;
};

}  // namespace tavro
