#pragma once

#include <QElapsedTimer>
#include <QString>

#include "app/window_layout.h"
#include "engine/run_display.h"

namespace tavro {

// A run as the window shows it: the progress, the current pair and file,
// the messages, the status and the tray's hint and balloons.
class WindowRunDisplay final : public BackupRunDisplay {
 public:
  // `controls` are filled in once the window has built them.
  explicit WindowRunDisplay(const WindowControls& controls) : c_(controls) {}

  // The status caption Label6, which only this display sets, in its
  // waiting colours.
  void showWaiting() { setStatusLook(StatusLook::Waiting); }
  // The pair gauge G1, which only this display shows and hides.
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
  enum class StatusLook { Waiting, Running, Failed };
  void setStatusLook(StatusLook look);
  // Brings Label18 and G2 up to what the run last set.
  void showCurrentFile();

  static constexpr qint64 kPumpInterval = 15;   // milliseconds
  static constexpr qint64 kPaintInterval = 40;  // milliseconds

  const WindowControls& c_;
  int gaugeMaximum_ = 0;
  QString shownFile_;            // Label18 as the run last set it
  bool fileGaugeShown_ = false;  // G2 as the run last set it
  QElapsedTimer sincePump_;
  QElapsedTimer sinceGaugePaint_;
  QElapsedTimer sinceFileShown_;
};

}  // namespace tavro
