#pragma once

#include <string>

#include "schedule/settings_panel.h"

namespace tavro {

// The settings panel as plain fields, starting as the window's controls do:
// for a run without a window, and for tests.
class PlainSettingsPanel : public SettingsPanel {
 public:
  TimeOfDay fixedTimeEditor() const override { return timeEditor; }
  void setFixedTimeEditor(const TimeOfDay& time) override { timeEditor = time; }
  void setFixedTimeEditorVisible(bool visible) override { timeEditorVisible = visible; }
  bool intervalChecked() const override { return interval; }
  void setIntervalChecked(bool checked) override { interval = checked; }
  std::string afterStartMinutes() const override { return afterStart; }
  void setAfterStartMinutes(const std::string& text) override { afterStart = text; }
  std::string repeatMinutes() const override { return repeat; }
  void setRepeatMinutes(const std::string& text) override { repeat = text; }
  AfterRunAction afterRunAction() const override { return action; }
  void setAfterRunAction(AfterRunAction chosen) override { action = chosen; }
  IntervalMode intervalMode() const override { return mode; }
  void setIntervalMode(IntervalMode chosen) override { mode = chosen; }
  bool syncDeletions() const override { return sync; }
  void setSyncDeletions(bool checked) override { sync = checked; }
  int historyDays() const override { return history; }
  void setHistoryDays(int days) override { history = days; }
  void collapse() override { ++collapsed; }
  std::string scheduleDisplay(ScheduleDisplay which) const override {
    return which == ScheduleDisplay::FixedTime ? eCas : eVarCas;
  }
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text) override {
    (which == ScheduleDisplay::FixedTime ? eCas : eVarCas) = text;
  }
  void setMinutesDisplay(const std::string& text) override { eMin = text; }
  void showModeControls(ScheduleMode shown) override { modeShown = shown; }
  void showClock(const std::string& d, const std::string& t) override {
    date = d;
    time = t;
  }

  TimeOfDay timeEditor;
  bool timeEditorVisible = true;
  bool interval = false;
  std::string afterStart = "10";
  std::string repeat = "10";
  AfterRunAction action = AfterRunAction::Nothing;
  IntervalMode mode = IntervalMode::AfterStart;
  bool sync = true;
  int history = kDefaultHistoryDays;
  int collapsed = 0;
  std::string eCas = "  :  ";
  std::string eVarCas = "  :  ";
  std::string eMin;
  ScheduleMode modeShown = ScheduleMode::FixedTime;
  std::string date;
  std::string time;
};

}  // namespace tavro
