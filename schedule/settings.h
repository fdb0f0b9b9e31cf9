#pragma once

#include <stdexcept>
#include <string>

#include "platform/profile_file.h"
#include "platform/regional_formats.h"
#include "schedule/schedule.h"
#include "schedule/settings_panel.h"

namespace tavro {

class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why "Uložit" saved nothing: a minutes box holds what the schedule cannot
// read.
inline constexpr const char* kMinutesNotANumber =
    "Počet minut zadejte jako celé číslo (0 až 999999999).";

// The settings file Tavro.ini, section Main, and the panel controls that
// hold the settings between its reads and writes.
class Settings {
 public:
  Settings(ProfileFile& file, SettingsPanel& panel, Schedule& schedule,
           const RegionalFormats& formats);

  // Every key of the file into the controls and the fixed time, by the same
  // rules as a re-read, without the schedule refresh and without saving: a
  // run without a window takes the saved settings as they are.
  void load();
  // Re-read: the file's values into the controls and the fixed time, then
  // the schedule refresh and what it found shown. A refresh error is thrown
  // once the re-read has finished its other steps.
  void reread();
  // Save: every key from the controls in one replacement of the file, then
  // a re-read. A file that cannot be written keeps all its old values and
  // the save stops with "Unable to write to <path>".
  void write();
  // "Uložit"; refused with kMinutesNotANumber, nothing saved, while a
  // minutes box holds no whole number of at least 0.
  void save();
  // The click rule of JVCHB1: the fixed-time editor shows only when clear.
  void intervalBoxClicked();

 private:
  // Sets ECas or EVarCas; a text that differs from the one shown raises the
  // change handler, which saves (and so re-reads) at once.
  void setScheduleDisplay(ScheduleDisplay which, const std::string& text);
  // The change handler of ECas and EVarCas.
  void scheduleDisplayChanged();

  ProfileFile& file_;
  SettingsPanel& panel_;
  Schedule& schedule_;
  const RegionalFormats& formats_;
};

}  // namespace tavro
