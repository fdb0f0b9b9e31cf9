#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/clock.h"
#include "schedule/schedule.h"
#include "schedule/settings_panel.h"

namespace tavro {

// The one-second scheduler: shows the clock, starts the scheduled backup
// runs and, after a run's minute, has the settings re-read. Its schedule
// refresh computes the next run time of the interval modes.
class Scheduler final : public Schedule {
 public:
  struct Actions {
    // The backup run with its log entry and all that follows it; throws
    // when it fails.
    std::function<void()> backUp;
    std::function<bool()> runInProgress;  // any run, scheduled or started by hand
    // The settings re-read after the minute of a scheduled run.
    std::function<void()> reread;
  };

  Scheduler(Clock& clock, SettingsPanel& panel, Actions actions);

  // The tick. While a run is in progress (this tick came through the run's
  // message pump) it only shows the clock: no run starts inside another,
  // and the re-read waits for the first tick after the run and its log.
  void tick();

  // The program starts: no run has fired, finished or is to be advanced.
  void startUp();
  // A run, scheduled or by hand, has finished: the next repeat refresh moves
  // the next run on by one interval.
  void runFinished();

  void fixedTimeRead(const TimeOfDay& time) override { state_.fixedTime = time; }
  // Throws nothing: a minute field that is no whole number comes back as the
  // view's error, once until the settings are saved again.
  ScheduleView refresh(const SettingsValues& shown) override;
  bool backupRan() const override { return state_.backupRan; }
  void settingsSaved() override;

  bool advancePending() const { return state_.advancePending; }
  TimeOfDay fixedTime() const { return state_.fixedTime; }
  LocalDateTime nextRunTime() const { return state_.nextRunTime; }

 private:
  struct State {
    bool firedThisMinute = false;  // the latch: a scheduled run started in this matching minute
    bool backupRan = false;        // a run finished since start-up or the last "Uložit"
    bool advancePending = false;   // the next repeat refresh moves the next run on by one interval
    TimeOfDay fixedTime;           // the daily time as last read from the settings file
    LocalDateTime nextRunTime;     // counts as 00:00 until first computed
    bool nextRunComputed = false;
    // The interval of the last schedule refresh when it was in repeat mode,
    // else 0. Only a refresh ("Uložit" or a re-read) changes it, so clicks in
    // the settings panel that were not saved change nothing.
    std::int64_t repeatInterval = 0;
    // A minute field that is no whole number stops the interval modes until
    // the settings are saved again; the error is shown once, not every minute.
    bool minutesInvalid = false;
    bool minutesErrorShown = false;
  };

  void refreshAfterStart(const LocalDateTime& now, const std::string& minutes, ScheduleView& view);
  void refreshRepeat(const LocalDateTime& now, const std::string& minutes, ScheduleView& view);
  std::optional<std::int64_t> minutesOf(const std::string& text, ScheduleView& view);
  void moveRepeatTimeAhead(const LocalDateTime& now, std::int64_t interval);
  std::string nextRunText() const;

  Clock& clock_;
  SettingsPanel& panel_;
  Actions actions_;
  State state_;
};

}  // namespace tavro
