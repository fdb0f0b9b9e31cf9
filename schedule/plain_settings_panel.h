#pragma once

#include <string>

#include "schedule/settings_panel.h"

namespace tavro {

// The settings panel as plain fields, starting as the window's controls do:
// for a run without a window, and for tests.
class PlainSettingsPanel : public SettingsPanel {
 public:
  PlainSettingsPanel() { shown.repeatMinutes = "10"; }

  SettingsValues values() const override {
    SettingsValues v = shown;
    v.backupRan = false;
    return v;
  }
  void show(const SettingsValues& values) override { shown = values; }
  void setFixedTimeEditorVisible(bool visible) override { timeEditorVisible = visible; }
  void collapse() override { ++collapsed; }
  std::string scheduleDisplay(ScheduleDisplay which) const override {
    return which == ScheduleDisplay::FixedTime ? eCas : eVarCas;
  }
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text) override {
    (which == ScheduleDisplay::FixedTime ? eCas : eVarCas) = text;
  }
  void setMinutesDisplay(const std::string& text) override { eMin = text; }
  void showModeControls(ScheduleMode mode) override { modeShown = mode; }
  void showClock(const std::string& d, const std::string& t) override {
    date = d;
    time = t;
  }

  SettingsValues shown;
  bool timeEditorVisible = true;
  int collapsed = 0;
  std::string eCas = "  :  ";
  std::string eVarCas = "  :  ";
  std::string eMin;
  ScheduleMode modeShown = ScheduleMode::FixedTime;
  std::string date;
  std::string time;
};

}  // namespace tavro
