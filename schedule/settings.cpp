#include "schedule/settings.h"

#include <algorithm>

namespace tavro {

namespace {

constexpr const char* kSection = "Main";

}  // namespace

Settings::Settings(ProfileFile& file, SettingsPanel& panel, Schedule& schedule,
                   const RegionalFormats& formats)
    : file_(file), panel_(panel), schedule_(schedule), formats_(formats) {}

int Settings::readInteger(const char* key, int fallback) const {
  const auto value = parseSettingsInteger(file_.read(kSection, key, std::to_string(fallback)));
  return value ? *value : fallback;
}

void Settings::load() {
  const auto time = parseTimeText(file_.read(kSection, "T", "00:00:00"), formats_);
  const TimeOfDay fixedTime = time.value_or(TimeOfDay{});
  schedule_.fixedTimeRead(fixedTime);
  panel_.setFixedTimeEditor(fixedTime);

  const bool interval = readInteger("TAS", 0) != 0;
  if (interval != panel_.intervalChecked()) {
    panel_.setIntervalChecked(interval);
    intervalBoxClicked();
  }
  panel_.setAfterStartMinutes(file_.read(kSection, "TASmin", "10"));
  panel_.setRepeatMinutes(file_.read(kSection, "TNTmin", "30"));
  panel_.setAfterRunAction(static_cast<AfterRunAction>(std::clamp(readInteger("AAZ", 2), -1, 2)));
  panel_.setIntervalMode(static_cast<IntervalMode>(std::clamp(readInteger("TNT", 0), -1, 1)));
  panel_.setSyncDeletions(readInteger("SYNC", 1) != 0);
  panel_.setHistoryDays(std::clamp(readInteger("HIST", kDefaultHistoryDays), 0, kMaxHistoryDays));
}

void Settings::reread() {
  load();
  const TimeOfDay fixedTime = panel_.fixedTimeEditor();
  const ScheduleView view = schedule_.refresh();
  if (view.mode != ScheduleMode::FixedTime) panel_.setMinutesDisplay(view.minutes);
  panel_.showModeControls(view.mode);
  if (view.nextRun) setScheduleDisplay(ScheduleDisplay::NextRun, *view.nextRun);
  // A refresh that cannot compute the schedule still lets the re-read show
  // the fixed time and the editor as they are; its error comes after.
  setScheduleDisplay(ScheduleDisplay::FixedTime,
                     formatHourMinute(fixedTime.hour, fixedTime.minute));
  intervalBoxClicked();
  if (view.error) throw SettingsError(*view.error);
}

void Settings::write() {
  const Status written =
      file_.write(kSection, {{"T", formatTimeText(panel_.fixedTimeEditor(), formats_)},
                             {"TAS", panel_.intervalChecked() ? "1" : "0"},
                             {"TASmin", panel_.afterStartMinutes()},
                             {"TNTmin", panel_.repeatMinutes()},
                             {"AAZ", std::to_string(static_cast<int>(panel_.afterRunAction()))},
                             {"TNT", std::to_string(static_cast<int>(panel_.intervalMode()))},
                             {"DZP", schedule_.backupRan() ? "1" : "0"},
                             {"SYNC", panel_.syncDeletions() ? "1" : "0"},
                             {"HIST", std::to_string(panel_.historyDays())}});
  if (!written.ok()) throw SettingsError("Unable to write to " + file_.path());
  reread();
}

void Settings::save() {
  // A value the schedule cannot read would greet every later start with an
  // error; the panel stays open for the user to mend it.
  for (const std::string& minutes : {panel_.afterStartMinutes(), panel_.repeatMinutes()}) {
    const auto value = parseSettingsInteger(minutes);
    if (!value || *value < 0) throw SettingsError(kMinutesNotANumber);
  }
  panel_.collapse();
  schedule_.settingsSaved();
  write();
}

void Settings::scheduleDisplayChanged() { write(); }

void Settings::intervalBoxClicked() { panel_.setFixedTimeEditorVisible(!panel_.intervalChecked()); }

void Settings::setScheduleDisplay(ScheduleDisplay which, const std::string& text) {
  if (panel_.scheduleDisplay(which) == text) return;
  panel_.setScheduleDisplay(which, text);
  scheduleDisplayChanged();
}

}  // namespace tavro
