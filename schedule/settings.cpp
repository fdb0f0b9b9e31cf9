#include "schedule/settings.h"

namespace tavro {

Settings::Settings(ProfileFile& file, SettingsPanel& panel, Schedule& schedule,
                   const RegionalFormats& formats)
    : file_(file), panel_(panel), schedule_(schedule), formats_(formats) {}

void Settings::load() {
  const SettingsValues saved = readSettingsFile(file_, formats_);
  schedule_.fixedTimeRead(saved.fixedTime);
  const bool intervalChanged = saved.interval != panel_.values().interval;
  panel_.show(saved);
  if (intervalChanged) intervalBoxClicked();
}

void Settings::reread() {
  load();
  const SettingsValues shown = panel_.values();
  const ScheduleView view = schedule_.refresh(shown);
  if (view.mode != ScheduleMode::FixedTime) panel_.setMinutesDisplay(view.minutes);
  panel_.showModeControls(view.mode);
  if (view.nextRun) setScheduleDisplay(ScheduleDisplay::NextRun, *view.nextRun);
  // A refresh that cannot compute the schedule still lets the re-read show
  // the fixed time and the editor as they are; its error comes after.
  setScheduleDisplay(ScheduleDisplay::FixedTime,
                     formatHourMinute(shown.fixedTime.hour, shown.fixedTime.minute));
  intervalBoxClicked();
  if (view.error) throw SettingsError(*view.error);
}

void Settings::write() {
  SettingsValues values = panel_.values();
  values.backupRan = schedule_.backupRan();
  const Status written = writeSettingsFile(file_, values, formats_);
  if (!written.ok()) throw SettingsError("Unable to write to " + file_.path());
  reread();
}

void Settings::save() {
  // A value the schedule cannot read would greet every later start with an
  // error; the panel stays open for the user to mend it.
  const SettingsValues shown = panel_.values();
  for (const std::string& minutes : {shown.afterStartMinutes, shown.repeatMinutes}) {
    const auto value = parseSettingsInteger(minutes);
    if (!value || *value < 0) throw SettingsError(kMinutesNotANumber);
  }
  panel_.collapse();
  schedule_.settingsSaved();
  write();
}

// A re-read that changes what ECas or EVarCas shows thereby writes the
// settings file: the program always did, and the file then holds the
// schedule as shown. Not a slip to mend.
void Settings::scheduleDisplayChanged() { write(); }

void Settings::intervalBoxClicked() { panel_.setFixedTimeEditorVisible(!panel_.values().interval); }

void Settings::setScheduleDisplay(ScheduleDisplay which, const std::string& text) {
  if (panel_.scheduleDisplay(which) == text) return;
  panel_.setScheduleDisplay(which, text);
  scheduleDisplayChanged();
}

}  // namespace tavro
