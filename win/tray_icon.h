#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "engine/run_display.h"

namespace tavro::win {

// The program's icon in the notification area: its hover text, balloons,
// the warning variant after a run with failures and the pop-up menu
// "Zobrazit program" / "Náhled zálohy" / "Přerušit zálohu" (during a run) /
// "O programu" / "Ukončit program". The window gets the icon's mouse
// messages as kMessage and the menu's choices as WM_COMMAND.
class TrayIcon {
 public:
  static constexpr UINT kMessage = WM_APP + 1;
  enum Command : UINT { Show = 100, Preview, Interrupt, About, End };

  TrayIcon(HWND window, HICON icon);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon; false while the shell has no notification area.
  bool show();
  // Again after Explorer restarted ("TaskbarCreated"): its icons are gone.
  void readd();
  void remove();
  bool shown() const { return shown_; }
  // Shows the first 127 characters.
  void setHint(const std::string& hint);
  void showBalloon(const std::string& title, const std::string& text, BalloonIconKind kind);
  void showWarning(bool warning);
  bool showsWarning() const { return warning_; }
  void setRunInProgress(bool running) { running_ = running; }
  // The menu at the mouse; its choice comes to the window as WM_COMMAND.
  void popUpMenu();

 private:
  NOTIFYICONDATAW data(UINT flags) const;

  HWND window_;
  HICON normal_;
  HICON warningIcon_ = nullptr;
  std::wstring hint_;
  bool shown_ = false;
  bool warning_ = false;
  bool running_ = false;
};

// `icon` with an amber warning triangle in its lower right corner, at
// `size` pixels. The caller destroys it.
HICON iconWithWarningSign(HICON icon, int size);

}  // namespace tavro::win
