#pragma once

#include <optional>
#include <string>

#include "platform/clock.h"
#include "schedule/settings_panel.h"

namespace tavro {

// What a schedule refresh found, for the panel to show.
struct ScheduleView {
  ScheduleMode mode = ScheduleMode::FixedTime;
  std::string minutes;                 // Emin, in the interval modes
  std::optional<std::string> nextRun;  // EVarCas, when the refresh computed the next run
  // A minute field that is no whole number; set once, until the next save.
  std::optional<std::string> error;
};

// The schedule as the settings' re-read and save reach it.
class Schedule {
 public:
  virtual ~Schedule() = default;
  // The daily time as read from the settings file; the ticks compare
  // against it, not against the editor.
  virtual void fixedTimeRead(const TimeOfDay& time) = 0;
  // Step 6 of a re-read: the next run time for the settings the panel shows.
  virtual ScheduleView refresh(const SettingsValues& shown) = 0;
  // A run has finished since start-up or the last "Uložit" (saved as DZP).
  virtual bool backupRan() const = 0;
  // "Uložit": the schedule starts afresh from this moment.
  virtual void settingsSaved() = 0;
};

}  // namespace tavro
