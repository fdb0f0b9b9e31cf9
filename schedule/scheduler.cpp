#include "schedule/scheduler.h"

#include <string>
#include <utility>

namespace tavro {

Scheduler::Scheduler(Clock& clock, SettingsPanel& panel, Actions actions)
    : clock_(clock), panel_(panel), actions_(std::move(actions)) {}

void Scheduler::startUp() {
  state_.firedThisMinute = false;
  state_.advancePending = false;
  state_.backupRan = false;
}

void Scheduler::runFinished() {
  state_.advancePending = true;
  state_.backupRan = true;
}

void Scheduler::settingsSaved() {
  state_.advancePending = false;
  state_.backupRan = false;
  // A save is the user's answer to a bad minute field: report it again if
  // it is still bad.
  state_.minutesErrorShown = false;
}

std::string Scheduler::nextRunText() const {
  return formatHourMinute(state_.nextRunTime.hour, state_.nextRunTime.minute);
}

void Scheduler::tick() {
  const LocalDateTime now = clock_.now();
  panel_.showClock(formatDayMonthYear(now), formatTimeOfDay(now));
  if (actions_.runInProgress && actions_.runInProgress()) return;

  // The check box as it stands, saved or not.
  const bool interval = panel_.values().interval;
  // A computer that slept over the run time, or a tick held up past it:
  // the repeat schedule goes on at its next step still ahead, instead of
  // waiting for the same hour and minute on the next day. It goes by the
  // last refresh, not by the panel's controls as they stand.
  if (state_.repeatInterval > 0 && !state_.firedThisMinute && state_.nextRunComputed &&
      !state_.minutesInvalid) {
    const LocalDateTime before = state_.nextRunTime;
    moveRepeatTimeAhead(now, state_.repeatInterval);
    if (minutesSinceEpoch(before) != minutesSinceEpoch(state_.nextRunTime)) {
      panel_.setScheduleDisplay(ScheduleDisplay::NextRun, nextRunText());
    }
  }

  int hour = state_.fixedTime.hour;
  int minute = state_.fixedTime.minute;
  if (interval) {
    hour = state_.nextRunTime.hour;
    minute = state_.nextRunTime.minute;
  }
  const bool matches = hour == now.hour && minute == now.minute;
  // Never run from a time that could not be computed.
  const bool usable = !(interval && state_.minutesInvalid);

  if (!state_.firedThisMinute && matches && usable) {
    state_.firedThisMinute = true;
    actions_.backUp();
  }
  if (state_.firedThisMinute && !matches) {
    state_.firedThisMinute = false;
    actions_.reread();
  }
}

std::optional<std::int64_t> Scheduler::minutesOf(const std::string& text, ScheduleView& view) {
  const auto value = parseSettingsInteger(text);
  if (value) return *value;
  state_.minutesInvalid = true;
  // The steps before the conversion have run; leave no latch behind that
  // would re-read (and fail) again every second.
  state_.firedThisMinute = false;
  if (state_.minutesErrorShown) return std::nullopt;
  state_.minutesErrorShown = true;
  view.error = "'" + text + "' is not a valid integer value";
  return std::nullopt;
}

void Scheduler::moveRepeatTimeAhead(const LocalDateTime& now, std::int64_t interval) {
  if (interval <= 0) return;
  const std::int64_t behind = minutesSinceEpoch(now) - minutesSinceEpoch(state_.nextRunTime);
  if (behind <= 0) return;
  const std::int64_t steps = (behind + interval - 1) / interval;
  state_.nextRunTime = addMinutes(state_.nextRunTime, steps * interval);
}

ScheduleView Scheduler::refresh(const SettingsValues& shown) {
  ScheduleView view;
  state_.repeatInterval = 0;
  if (!shown.interval) {
    state_.minutesInvalid = false;
    return view;
  }
  const LocalDateTime now = clock_.now();
  if (shown.intervalMode == IntervalMode::AfterStart) {
    refreshAfterStart(now, shown.afterStartMinutes, view);
  } else {
    refreshRepeat(now, shown.repeatMinutes, view);
  }
  return view;
}

void Scheduler::refreshAfterStart(const LocalDateTime& now, const std::string& minutes,
                                  ScheduleView& view) {
  view.mode = ScheduleMode::AfterStart;
  view.minutes = minutes;
  if (state_.backupRan) return;
  // The computer's start as a full date and time, from a 64-bit uptime.
  const auto upMinutes = static_cast<std::int64_t>(clock_.uptimeMilliseconds() / 60000);
  state_.nextRunTime = addMinutes(now, -upMinutes);
  const auto m = minutesOf(view.minutes, view);
  if (!m) return;
  state_.nextRunTime = addMinutes(state_.nextRunTime, *m);
  state_.nextRunComputed = true;
  state_.minutesInvalid = false;
  state_.minutesErrorShown = false;
  view.nextRun = nextRunText();
}

void Scheduler::refreshRepeat(const LocalDateTime& now, const std::string& minutes,
                              ScheduleView& view) {
  view.mode = ScheduleMode::Repeat;
  view.minutes = minutes;
  state_.firedThisMinute = true;
  std::optional<std::int64_t> n;
  if (!state_.backupRan) {
    state_.nextRunTime = now;
    n = minutesOf(view.minutes, view);
    if (!n) return;
    state_.nextRunTime = addMinutes(state_.nextRunTime, *n);
  }
  if (state_.advancePending) {
    n = minutesOf(view.minutes, view);
    if (!n) return;
    state_.nextRunTime = addMinutes(state_.nextRunTime, *n);
    // A run that outlasted one or more intervals: the next step still ahead.
    moveRepeatTimeAhead(now, *n);
  }
  state_.nextRunComputed = true;
  state_.minutesInvalid = false;
  state_.minutesErrorShown = false;
  // Cleared before the display changes: the save that change starts re-reads
  // at once, and that refresh must not add the interval a second time.
  state_.advancePending = false;
  state_.repeatInterval = parseSettingsInteger(view.minutes).value_or(0);
  view.nextRun = nextRunText();
  state_.firedThisMinute = false;
}

}  // namespace tavro
