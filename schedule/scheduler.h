#pragma once

#include <functional>

#include "platform/clock.h"
#include "schedule/schedule_state.h"
#include "schedule/settings.h"
#include "schedule/settings_panel.h"

namespace tavro {

// The one-second scheduler: shows the clock, starts the scheduled backup
// runs and, after a run's minute, re-reads the settings. Its schedule
// refresh computes the next run time of the interval modes.
class Scheduler {
 public:
  struct Actions {
    // The backup run with its log entry and all that follows it; throws
    // when it fails.
    std::function<void()> backUp;
    std::function<bool()> runInProgress;  // any run, scheduled or started by hand
  };

  // Registers the schedule refresh with `settings`.
  Scheduler(Clock& clock, SettingsPanel& panel, ScheduleState& state, Settings& settings,
            Actions actions);

  // The tick. While a run is in progress (this tick came through the run's
  // message pump) it only shows the clock: no run starts inside another,
  // and the re-read waits for the first tick after the run and its log.
  void DateAndTime();

  // Step 6 of every re-read. Throws SettingsError for a minute field that
  // is no whole number, once until the settings are saved again.
  void refresh();

 private:
  void refreshAfterStart(const LocalDateTime& now);
  void refreshRepeat(const LocalDateTime& now);
  std::optional<std::int64_t> minutesOf(const std::string& text);
  void moveRepeatTimeAhead(const LocalDateTime& now, std::int64_t interval);

  Clock& clock_;
  SettingsPanel& panel_;
  ScheduleState& state_;
  Settings& settings_;
  Actions actions_;
};

}  // namespace tavro
