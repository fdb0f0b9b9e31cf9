#pragma once

#include <string>

#include "schedule/settings_rules.h"

namespace tavro {

enum class ScheduleMode { FixedTime, AfterStart, Repeat };

// RG1, "Po provedení zálohy"; the value is the item's index, as AAZ stores it.
enum class AfterRunAction : int { NotChosen = -1, ShutDown = 0, Suspend = 1, Nothing = 2 };
// RG2, the interval mode; the value is the item's index, as TNT stores it.
// With no item chosen the schedule refresh takes repeat mode.
enum class IntervalMode : int { NotChosen = -1, AfterStart = 0, Repeat = 1 };
enum class ScheduleDisplay { FixedTime /* ECas */, NextRun /* EVarCas */ };

inline constexpr int kDefaultHistoryDays = 30;
inline constexpr int kMaxHistoryDays = 3650;

// The settings panel and the schedule displays of the main window, which
// hold the settings: the window implements it on its controls, tests on a
// fake. Setting a control here never runs a handler; the core runs the
// handlers itself where a change would.
class SettingsPanel {
 public:
  virtual ~SettingsPanel() = default;

  virtual TimeOfDay fixedTimeEditor() const = 0;  // cxTimeEdit1
  virtual void setFixedTimeEditor(const TimeOfDay& time) = 0;
  virtual void setFixedTimeEditorVisible(bool visible) = 0;  // cxLabel2 and cxTimeEdit1
  virtual bool intervalChecked() const = 0;                  // JVCHB1
  virtual void setIntervalChecked(bool checked) = 0;
  virtual std::string afterStartMinutes() const = 0;  // cxTextEdit1
  virtual void setAfterStartMinutes(const std::string& text) = 0;
  virtual std::string repeatMinutes() const = 0;  // cxTextEdit2
  virtual void setRepeatMinutes(const std::string& text) = 0;
  virtual AfterRunAction afterRunAction() const = 0;  // RG1
  virtual void setAfterRunAction(AfterRunAction action) = 0;
  virtual IntervalMode intervalMode() const = 0;  // RG2
  virtual void setIntervalMode(IntervalMode mode) = 0;
  virtual bool syncDeletions() const = 0;  // JvCheckBox1
  virtual void setSyncDeletions(bool checked) = 0;
  // "Uchovávat smazané a přepsané soubory ... dní", 0 to kMaxHistoryDays.
  virtual int historyDays() const = 0;
  virtual void setHistoryDays(int days) = 0;
  virtual void collapse() = 0;  // JvRollOut1

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
