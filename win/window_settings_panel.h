#pragma once

#include "schedule/settings_panel.h"
#include "win/window_controls.h"

namespace tavro::win {

// The settings panel and the schedule summary on the window's controls.
class WindowSettingsPanel final : public SettingsPanel {
 public:
  explicit WindowSettingsPanel(const WindowControls& controls) : c_(controls) {}

  bool isOpen() const;
  void setOpen(bool open);

  SettingsValues values() const override;
  void show(const SettingsValues& values) override;
  void setFixedTimeEditorVisible(bool visible) override;
  void collapse() override { setOpen(false); }
  std::string scheduleDisplay(ScheduleDisplay which) const override;
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text) override;
  void setMinutesDisplay(const std::string& text) override;
  void showModeControls(ScheduleMode mode) override;
  void showClock(const std::string& date, const std::string& time) override;

 private:
  const WindowControls& c_;
  // The time picker shows whole seconds; the file's milliseconds stay while
  // the user leaves the time as it is.
  TimeOfDay shownTime_;
};

}  // namespace tavro::win
