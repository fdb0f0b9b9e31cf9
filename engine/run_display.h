#pragma once

#include <string>
#include <vector>

#include "engine/failure.h"

namespace tavro {

// What a run shows while it goes. The window implements it on its controls;
// tests record the calls. Every call comes from the thread that runs the
// backup, and processMessages() is the only point where that thread lets the
// window handle its pending input.
class RunDisplay {
 public:
  virtual ~RunDisplay() = default;

  // One file copy: the per-file gauge appears and the current-file label
  // names the source; both go again at fileCopyFinished().
  virtual void fileCopyStarted(const std::string& sourcePath) = 0;
  // The gauge's range becomes 0..maximum and its position 0.
  virtual void fileGaugeRange(int maximum) = 0;
  virtual void fileGaugeProgress(int position) = 0;
  virtual void fileCopyFinished() = 0;

  // One file deletion: the current-file label names the target file.
  virtual void fileDeletionStarted(const std::string& targetPath) = 0;
  virtual void fileDeletionFinished() = 0;

  // A line of the run's message list.
  virtual void addLine(const std::string& line) = 0;
  // Something of the run failed. A display that keeps no failures of its
  // own shows the failure's line.
  virtual void failed(const Failure& failure) { addLine(failureLine(failure)); }

  virtual void processMessages() = 0;
};

// Passes every call of a run display on to another display of the same
// kind; a display that changes a few calls derives from it (or from
// BackupRunDisplayWrapper below) and overrides only those.
template <class Display>
class DisplayForwarder : public Display {
 public:
  explicit DisplayForwarder(Display& target) : target_(target) {}
  void fileCopyStarted(const std::string& path) override { target_.fileCopyStarted(path); }
  void fileGaugeRange(int maximum) override { target_.fileGaugeRange(maximum); }
  void fileGaugeProgress(int position) override { target_.fileGaugeProgress(position); }
  void fileCopyFinished() override { target_.fileCopyFinished(); }
  void fileDeletionStarted(const std::string& path) override { target_.fileDeletionStarted(path); }
  void fileDeletionFinished() override { target_.fileDeletionFinished(); }
  void addLine(const std::string& line) override { target_.addLine(line); }
  void failed(const Failure& failure) override { target_.failed(failure); }
  void processMessages() override { target_.processMessages(); }

 protected:
  Display& target() const { return target_; }

 private:
  Display& target_;
};

using RunDisplayWrapper = DisplayForwarder<RunDisplay>;

// Shows nothing of a pass but lets the window's messages through `display`,
// and keeps the failures: for passes that only look.
class QuietDisplay final : public RunDisplayWrapper {
 public:
  explicit QuietDisplay(RunDisplay& display) : RunDisplayWrapper(display) {}
  void fileCopyStarted(const std::string&) override {}
  void fileGaugeRange(int) override {}
  void fileGaugeProgress(int) override {}
  void fileCopyFinished() override {}
  void fileDeletionStarted(const std::string&) override {}
  void fileDeletionFinished() override {}
  void addLine(const std::string&) override {}
  void failed(const Failure& failure) override { failures.push_back(failure); }

  std::vector<Failure> failures;
};

// Where the per-file gauge stands, in tenths of a percent: the windows run
// it over a fixed range, whatever the file's size.
inline int gaugePermille(int position, int maximum) {
  return maximum > 0 ? static_cast<int>(static_cast<long long>(position) * 1000 / maximum) : 0;
}

enum class BalloonIconKind { None = 0, Information = 1, Warning = 2, Error = 3 };

// What a backup run over all pairs shows besides its folder mirrors: the
// status texts, the balloon, the pair gauge and counter, and when the last
// run ended.
class BackupRunDisplay : public RunDisplay {
 public:
  // The run's message list is emptied.
  virtual void runStarted() = 0;
  // The status caption (on lime while a run shows) and the tray hint.
  virtual void setStatus(const std::string& caption, const std::string& trayHint) = 0;
  virtual void showBalloon(const std::string& title, const std::string& text, BalloonIconKind kind,
                           int seconds) = 0;
  // Both gauges and the captions "Kopíruji z: ", "Kopíruji do:", "/" and the
  // current-file label appear; the pair gauge runs 0..pairCount from 0.
  virtual void showProgress(int pairCount) = 0;
  // Pair k of n: its source and its target (as stored) and the counter.
  virtual void pairStarted(int k, int n, const std::string& source, const std::string& target) = 0;
  // The pair gauge stands at k.
  virtual void pairFinished(int k) = 0;
  // "Poslední úspěšné zpracování": when the last run without a failed pair,
  // neither stopped nor interrupted, ended.
  virtual void setLastRun(const std::string& text) = 0;
  // Both gauges go.
  virtual void hideProgress() = 0;
  // The pair labels are emptied and their captions hidden; a run with
  // failures is shown as such until the next run ends.
  virtual void runFinished(bool withFailures) = 0;
};

// The same for the display of a backup run over all pairs.
class BackupRunDisplayWrapper : public DisplayForwarder<BackupRunDisplay> {
 public:
  using DisplayForwarder::DisplayForwarder;
  void runStarted() override { target().runStarted(); }
  void setStatus(const std::string& caption, const std::string& trayHint) override {
    target().setStatus(caption, trayHint);
  }
  void showBalloon(const std::string& title, const std::string& text, BalloonIconKind kind,
                   int seconds) override {
    target().showBalloon(title, text, kind, seconds);
  }
  void showProgress(int pairCount) override { target().showProgress(pairCount); }
  void pairStarted(int k, int n, const std::string& source, const std::string& target) override {
    this->target().pairStarted(k, n, source, target);
  }
  void pairFinished(int k) override { target().pairFinished(k); }
  void setLastRun(const std::string& text) override { target().setLastRun(text); }
  void hideProgress() override { target().hideProgress(); }
  void runFinished(bool withFailures) override { target().runFinished(withFailures); }
};

// Shows nothing but the lines, each handed to addLine(): a run without a
// window (the command line, measuring tools).
class LinesOnlyDisplay : public BackupRunDisplay {
 public:
  void fileCopyStarted(const std::string&) override {}
  void fileGaugeRange(int) override {}
  void fileGaugeProgress(int) override {}
  void fileCopyFinished() override {}
  void fileDeletionStarted(const std::string&) override {}
  void fileDeletionFinished() override {}
  void processMessages() override {}
  void runStarted() override {}
  void setStatus(const std::string&, const std::string&) override {}
  void showBalloon(const std::string&, const std::string&, BalloonIconKind, int) override {}
  void showProgress(int) override {}
  void pairStarted(int, int, const std::string&, const std::string&) override {}
  void pairFinished(int) override {}
  void setLastRun(const std::string&) override {}
  void hideProgress() override {}
  void runFinished(bool) override {}
};

}  // namespace tavro
