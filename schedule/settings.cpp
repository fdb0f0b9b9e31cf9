#include "schedule/settings.h"

#include <algorithm>
#include <exception>

namespace tavro {

namespace {

constexpr const char* kSection = "Main";

}  // namespace

Settings::Settings(ProfileFile& file, SettingsPanel& panel, ScheduleState& state,
                   const RegionalFormats& formats)
    : file_(file), panel_(panel), state_(state), formats_(formats) {}

int Settings::readInteger(const char* key, int fallback) const {
  const auto value = parseSettingsInteger(file_.read(kSection, key, std::to_string(fallback)));
  return value ? *value : fallback;
}

void Settings::NactiIni() {
  const auto time = parseTimeText(file_.read(kSection, "T", "00:00:00"), formats_);
  state_.fixedTime = time.value_or(TimeOfDay{});
  panel_.setFixedTimeEditor(state_.fixedTime);

  const bool interval = readInteger("TAS", 0) != 0;
  if (interval != panel_.intervalChecked()) {
    panel_.setIntervalChecked(interval);
    JVCHB1Click();
  }
  panel_.setAfterStartMinutes(file_.read(kSection, "TASmin", "10"));
  panel_.setRepeatMinutes(file_.read(kSection, "TNTmin", "30"));
  panel_.setAfterRunAction(static_cast<AfterRunAction>(std::clamp(readInteger("AAZ", 2), -1, 2)));
  panel_.setIntervalMode(static_cast<IntervalMode>(std::clamp(readInteger("TNT", 0), -1, 1)));
  panel_.setSyncDeletions(readInteger("SYNC", 1) != 0);

  // A refresh that cannot compute the schedule still lets the re-read show
  // the fixed time and the editor as they are; its error comes after.
  std::exception_ptr refreshError;
  if (refresh_) {
    try {
      refresh_();
    } catch (const SettingsError&) {
      refreshError = std::current_exception();
    }
  }
  setScheduleDisplay(ScheduleDisplay::FixedTime,
                     formatHourMinute(state_.fixedTime.hour, state_.fixedTime.minute));
  JVCHB1Click();
  if (refreshError) std::rethrow_exception(refreshError);
}

void Settings::write(const char* key, const std::string& value) {
  if (!file_.write(kSection, key, value).ok()) {
    throw SettingsError("Unable to write to " + file_.path());
  }
}

void Settings::ZapisIni() {
  write("T", formatTimeText(panel_.fixedTimeEditor(), formats_));
  write("TAS", panel_.intervalChecked() ? "1" : "0");
  write("TASmin", panel_.afterStartMinutes());
  write("TNTmin", panel_.repeatMinutes());
  write("AAZ", std::to_string(static_cast<int>(panel_.afterRunAction())));
  write("TNT", std::to_string(static_cast<int>(panel_.intervalMode())));
  write("DZP", state_.backupRan ? "1" : "0");
  write("SYNC", panel_.syncDeletions() ? "1" : "0");
  NactiIni();
}

void Settings::JvXPButton1Click() {
  panel_.collapse();
  state_.advancePending = false;
  state_.backupRan = false;
  // A save is the user's answer to a bad minute field: report it again if
  // it is still bad.
  state_.minutesErrorShown = false;
  ZapisIni();
}

void Settings::ECasChange() { ZapisIni(); }

void Settings::JVCHB1Click() { panel_.setFixedTimeEditorVisible(!panel_.intervalChecked()); }

void Settings::setScheduleDisplay(ScheduleDisplay which, const std::string& text) {
  if (panel_.scheduleDisplay(which) == text) return;
  panel_.setScheduleDisplay(which, text);
  ECasChange();
}

}  // namespace tavro
