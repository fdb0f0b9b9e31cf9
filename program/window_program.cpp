#include "program/window_program.h"

#include <exception>

#include "engine/pair_mirror.h"

namespace tavro {

std::string errorBoxText(const std::string& message) {
  // Bytes of a UTF-8 sequence all sort above ".", as its characters do.
  if (!message.empty() && static_cast<unsigned char>(message.back()) <= '.') return message;
  return message + '.';
}

WindowProgram::WindowProgram(const ProgramServices& services, BackupRunDisplay& display,
                             SettingsPanel& panel, WindowShell& shell, FolderChooser& folders)
    : services_(services),
      display_(display),
      shell_(shell),
      program_(services, display, panel, shell, folders) {}

bool WindowProgram::guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    shell_.showError(error.what());
  } catch (...) {
    shell_.showError("Unknown error");
  }
  // An end asked for while the box was open takes effect now.
  endIfRequested();
  return false;
}

bool WindowProgram::start() {
  display_.setStatus("Čeká se na spuštění ...", "Záloha zatím neprovedena ...");
  hideCountdown_ = 1;
  guarded([this] { program_.readSettings(); });
  // A settings file that could not be read or saved (a full disk at start,
  // say) is shown above; the pair table opens all the same, or no backup
  // would run until the next start.
  const bool opened = guarded([this] { program_.openPairTable(); });
  created_ = true;
  return opened;
}

void WindowProgram::tick() {
  // Ticks under a start-up error box wait: the box must be the first thing
  // the user reads, not an error of a run started behind it.
  if (!created_) return;
  // Nor does a run start in the middle of a restore: the window lets its
  // timer through while it paints the restore's progress, and the run
  // would change the backup the restore is reading.
  if (restoreCopying()) return;
  guarded([this] { program_.tick(); });
  // The one-time hide belongs to the first tick after the window was shown:
  // ticks under a start-up error box, before it, must not use it up.
  if (shown_) {
    if (hideCountdown_ == 1) {
      // A first start, with no pair yet, keeps the window and its hint shown.
      const PairTable& pairs = program_.table();
      if (!pairs.isOpen() || pairs.recordCount() > 0) shell_.hideToTray();
      shell_.showTrayIcon();
    }
    if (hideCountdown_ > 0) --hideCountdown_;
  }
  shell_.checkTray();
  endIfRequested();
}

bool WindowProgram::windowShown() {
  if (shown_) return false;
  shown_ = true;
  return true;
}

void WindowProgram::hide() {
  if (shell_.hideToTray() || toldNoTray_) return;
  // Once per start: a user who keeps pressing knows by then.
  toldNoTray_ = true;
  shell_.showWarning(kNoTray);
}

void WindowProgram::backUpNow() {
  if (program_.runInProgress()) return;
  // The restore window answers its "Přerušit" while it copies; the tray's
  // menu could ask for a run then, and the run would change the backup the
  // restore is reading.
  if (restoreCopying()) return;
  guarded([this] {
    // The button shows the pair gauge before the run does, and a run the
    // button could not start (one was already going) leaves it shown: the
    // window has always behaved so, and its tests rely on it.
    shell_.showPairGauge(true);
    if (!program_.backUp(RunStart::ByUser)) return;
    shell_.showPairGauge(false);
  });
  endIfRequested();
}

void WindowProgram::showLog() {
  const std::string& path = services_.paths.logFile;
  if (!services_.fs.stat(path).ok()) {
    shell_.showWarning(kNoLogYet);
    return;
  }
  if (!shell_.openLog(path)) {
    shell_.showError("Přehled nelze zobrazit, žádný textový editor nelze spustit: " + path);
  }
}

void WindowProgram::showHistory() {
  const auto folder = program_.historyOfCurrentPair();
  if (!folder) {
    shell_.showWarning(kNoPairChosen);
    return;
  }
  const auto info = services_.fs.stat(*folder);
  if (!info.ok() || info.value.kind != EntryKind::Folder) {
    shell_.showWarning(kNoHistoryYet);
    return;
  }
  const auto cannotOpen = [this, path = *folder] {
    shell_.showError("Nelze otevřít složku: " + path);
  };
  if (!shell_.openFolder(*folder, cannotOpen)) cannotOpen();
}

void WindowProgram::restore() {
  if (program_.runInProgress()) {
    shell_.showWarning(kNoRestoreDuringRun);
    return;
  }
  const auto pair = program_.currentPair();
  if (!pair) {
    shell_.showWarning(kNoPairChosen);
    return;
  }
  RestoreView view(services_.fs, *pair);
  // Nothing at all: neither the pair folder nor a run folder of its history.
  if (view.points().size() == 1 &&
      !services_.fs.stat(pairFolderOf(pair->source, pair->target)).ok()) {
    shell_.showWarning(kNoBackupYet);
    return;
  }
  view.choosePoint(0);
  struct Shown {
    RestoreView*& shown;
    ~Shown() { shown = nullptr; }
  } shown{restoreShown_ = &view};
  shell_.showRestore(view);
}

void WindowProgram::saveSettings() {
  guarded([this] { program_.saveSettings(); });
}

void WindowProgram::requestEnd() {
  endRequested_ = true;
  endIfRequested();
}

void WindowProgram::endSoon() {
  if (program_.runInProgress()) program_.stopRun();
  endRequested_ = true;
}

void WindowProgram::mainLoopStarted() {
  mainLoopRunning_ = true;
  endIfRequested();
}

void WindowProgram::endIfRequested() {
  // A run pumps the message loop; the end waits until the run and its log
  // entry are done and control is back in the loop. So does an open box:
  // the end follows once it is closed. Before the main loop runs (an error
  // box at start-up) quitting would be lost: the start-up sees the request.
  if (!endRequested_ || program_.runInProgress() || ending_ || !mainLoopRunning_) return;
  if (shell_.boxOpen()) return;
  ending_ = true;
  shell_.quit();
}

void WindowProgram::finish() {
  guarded([this] { program_.end(); });
}

std::string WindowProgram::pairTablePath() const {
  const PairTable& pairs = program_.table();
  return pairs.isOpen() ? pairs.filePath() : services_.paths.pairTable;
}

}  // namespace tavro
