#pragma once

#include "app/window_layout.h"
#include "schedule/settings_panel.h"

namespace tavro {

// The settings panel and the schedule summary on the window's controls.
class WindowSettingsPanel final : public SettingsPanel {
 public:
  // `controls` are filled in once the window has built them.
  explicit WindowSettingsPanel(const WindowControls& controls) : c_(controls) {}

  bool isOpen() const;
  void setOpen(bool open);

  TimeOfDay fixedTimeEditor() const override;
  void setFixedTimeEditor(const TimeOfDay& time) override;
  void setFixedTimeEditorVisible(bool visible) override;
  bool intervalChecked() const override;
  void setIntervalChecked(bool checked) override;
  std::string afterStartMinutes() const override;
  void setAfterStartMinutes(const std::string& text) override;
  std::string repeatMinutes() const override;
  void setRepeatMinutes(const std::string& text) override;
  AfterRunAction afterRunAction() const override;
  void setAfterRunAction(AfterRunAction action) override;
  IntervalMode intervalMode() const override;
  void setIntervalMode(IntervalMode mode) override;
  bool syncDeletions() const override;
  void setSyncDeletions(bool checked) override;
  int historyDays() const override;
  void setHistoryDays(int days) override;
  void collapse() override { setOpen(false); }
  std::string scheduleDisplay(ScheduleDisplay which) const override;
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text) override;
  void setMinutesDisplay(const std::string& text) override;
  void showModeControls(ScheduleMode mode) override;
  void showClock(const std::string& date, const std::string& time) override;

 private:
  const WindowControls& c_;
};

}  // namespace tavro
