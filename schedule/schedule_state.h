#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "schedule/settings_rules.h"

namespace tavro {

// The scheduler's flags and times, one for the program.
struct ScheduleState {
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

}  // namespace tavro
