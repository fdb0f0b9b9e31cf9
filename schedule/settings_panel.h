#pragma once

#include <string>

#include "schedule/settings_values.h"

namespace tavro {

enum class ScheduleMode { FixedTime, AfterStart, Repeat };
enum class ScheduleDisplay { FixedTime /* ECas */, NextRun /* EVarCas */ };

// The settings panel and the schedule displays of the main window: the
// window implements it on its controls, tests and the command line on plain
// fields. Between a read of the settings file and a save the controls hold
// the settings, and what they show counts at once (the tick, the run and
// the after-run action read them), saved or not. Setting a control here
// never runs a handler; the core runs the handlers itself where a change
// would.
class SettingsPanel {
 public:
  virtual ~SettingsPanel() = default;

  // The settings as the controls show them; backupRan is not shown and
  // comes back false.
  virtual SettingsValues values() const = 0;
  // Every control of the panel set to `values`.
  virtual void show(const SettingsValues& values) = 0;
  virtual void setFixedTimeEditorVisible(bool visible) = 0;  // cxLabel2 and cxTimeEdit1
  virtual void collapse() = 0;                               // JvRollOut1

  // ECas and EVarCas: "  :  " until first set.
  virtual std::string scheduleDisplay(ScheduleDisplay which) const = 0;
  virtual void setScheduleDisplay(ScheduleDisplay which, const std::string& text) = 0;
  virtual void setMinutesDisplay(const std::string& text) = 0;  // Emin
  // Shows and hides ECas, Emin, Lmin, LKaz, Lm, EVarCas and LVarCas.
  virtual void showModeControls(ScheduleMode mode) = 0;
  // Label4 and Label5.
  virtual void showClock(const std::string& date, const std::string& time) = 0;
};

}  // namespace tavro
