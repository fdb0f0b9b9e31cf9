#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "platform/profile_file.h"
#include "platform/regional_formats.h"
#include "schedule/schedule_state.h"
#include "schedule/settings_panel.h"

namespace tavro {

class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The settings file Tavro.ini, section Main, and the panel controls that
// hold the settings between its reads and writes.
class Settings {
 public:
  Settings(ProfileFile& file, SettingsPanel& panel, ScheduleState& state,
           const RegionalFormats& formats);

  // The scheduler's schedule refresh, run as step 6 of every re-read.
  void setScheduleRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

  // Re-read: the file's values into the controls and the fixed time, then
  // the schedule refresh. A refresh error is thrown once the re-read has
  // finished its other steps.
  void NactiIni();
  // Save: every key from the controls, in order, then a re-read. A key that
  // cannot be written stops the save with "Unable to write to <path>".
  void ZapisIni();
  // "Uložit".
  void JvXPButton1Click();
  // The change handler of ECas and EVarCas.
  void ECasChange();
  // The click rule of JVCHB1: the fixed-time editor shows only when clear.
  void JVCHB1Click();

  // Sets ECas or EVarCas; a text that differs from the one shown raises the
  // change handler, which saves (and so re-reads) at once.
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text);

 private:
  void write(const char* key, const std::string& value);
  int readInteger(const char* key, int fallback) const;

  ProfileFile& file_;
  SettingsPanel& panel_;
  ScheduleState& state_;
  const RegionalFormats& formats_;
  std::function<void()> refresh_;
};

}  // namespace tavro
