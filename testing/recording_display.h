#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/run_display.h"

namespace tavro::testkit {

// Records what a run shows, one text per call, so a test can assert the
// order of events: "copy <path>", "range <n>", "progress <n>", "copied",
// "delete <path>", "deleted", "line <text>", "pump", and the run's own
// events ("run started", "status <caption> | <hint>", "pair 1/2 ...").
class RecordingDisplay : public BackupRunDisplay {
 public:
  void runStarted() override { record("run started"); }
  void setStatus(const std::string& caption, const std::string& hint) override {
    record("status " + caption + " | " + hint);
  }
  void showBalloon(const std::string& title, const std::string& text, BalloonIconKind kind,
                   int seconds) override {
    record("balloon " + title + " | " + text + " | " + std::to_string(static_cast<int>(kind)) +
           " | " + std::to_string(seconds));
  }
  void showProgress(int pairs) override { record("progress shown " + std::to_string(pairs)); }
  void pairStarted(int k, int n, const std::string& source, const std::string& target) override {
    record("pair " + std::to_string(k) + "/" + std::to_string(n) + " " + source + " -> " + target);
  }
  void pairFinished(int k) override { record("pair done " + std::to_string(k)); }
  void setLastRun(const std::string& text) override { record("last run " + text); }
  void hideProgress() override { record("progress hidden"); }
  void runFinished(bool withFailures) override {
    record("run finished");
    if (withFailures) record("shown with failures");
  }

  void fileCopyStarted(const std::string& path) override { record("copy " + path); }
  void fileGaugeRange(int maximum) override { record("range " + std::to_string(maximum)); }
  void fileGaugeProgress(int position) override { record("progress " + std::to_string(position)); }
  void fileCopyFinished() override { record("copied"); }
  void fileDeletionStarted(const std::string& path) override { record("delete " + path); }
  void fileDeletionFinished() override { record("deleted"); }
  void addLine(const std::string& line) override {
    if (record("line " + line)) lines.push_back(line);
  }
  void processMessages() override {
    if (record("pump")) ++pumps;
  }

  // The recorded events whose text starts with `prefix`.
  std::vector<std::string> only(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const auto& e : events) {
      if (e.rfind(prefix, 0) == 0) picked.push_back(e);
    }
    return picked;
  }
  void clear() {
    events.clear();
    lines.clear();
    pumps = 0;
  }

  std::vector<std::string> events;
  std::vector<std::string> lines;
  int pumps = 0;
  // A run shows everything from its own thread: calls from any other are
  // counted (and not recorded).
  std::atomic<int> callsFromOtherThreads = 0;

 protected:
  bool record(std::string event) {
    if (std::this_thread::get_id() != thread_) {
      ++callsFromOtherThreads;
      return false;
    }
    events.push_back(std::move(event));
    return true;
  }

 private:
  const std::thread::id thread_ = std::this_thread::get_id();
};

}  // namespace tavro::testkit
