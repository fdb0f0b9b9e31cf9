#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "engine/run_display.h"
#include "win/tray_icon.h"
#include "win/window_controls.h"

namespace tavro::win {

// Lets the window's pending messages run, as the message loop would; a
// WM_QUIT met there is posted again for the loop itself.
void pumpMessages(HWND window);

// A run as the window shows it: the progress, the current pair and file,
// the lines, the status and the tray's hint and balloons.
class WindowRunDisplay final : public BackupRunDisplay {
 public:
  WindowRunDisplay(HWND window, const WindowControls& controls, TrayIcon& tray)
      : window_(window), c_(controls), tray_(tray) {}

  // The status caption's colours, for the window to paint Label6 with.
  COLORREF statusBackground() const;
  COLORREF statusText() const;

  void showPairGauge(bool shown);
  // The current pair's labels emptied, their captions and "/" hidden.
  void clearPairLabels();

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

 private:
  using Clock = std::chrono::steady_clock;
  enum class StatusLook { Waiting, Running, Failed };
  void setStatusLook(StatusLook look);
  void setText(const char* control, const std::string& text);
  void show(const char* control, bool shown);
  // Brings Label18 and G2 up to what the run last set.
  void showCurrentFile();

  static constexpr auto kPumpInterval = std::chrono::milliseconds(15);
  static constexpr auto kPaintInterval = std::chrono::milliseconds(40);

  HWND window_;
  const WindowControls& c_;
  TrayIcon& tray_;
  StatusLook look_ = StatusLook::Waiting;
  int gaugeMaximum_ = 0;
  int gaugePermille_ = -1;
  int widestLine_ = 0;           // pixels: how far LB2 scrolls sideways
  std::string currentFile_;      // Label18 as the run last set it
  std::string shownFile_;        // Label18 as it shows
  bool fileGaugeShown_ = false;  // G2 as the run last set it
  Clock::time_point lastPump_{};
  Clock::time_point lastGaugePaint_{};
  Clock::time_point lastFileShown_{};
};

}  // namespace tavro::win
