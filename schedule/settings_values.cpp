#include "schedule/settings_values.h"

#include <algorithm>

namespace tavro {

namespace {

constexpr const char* kSection = "Main";

int readInteger(const ProfileFile& file, const char* key, int fallback) {
  const auto value = parseSettingsInteger(file.read(kSection, key, std::to_string(fallback)));
  return value ? *value : fallback;
}

}  // namespace

SettingsValues readSettingsFile(const ProfileFile& file, const RegionalFormats& formats) {
  const SettingsValues defaults;
  SettingsValues values;
  values.fixedTime =
      parseTimeText(file.read(kSection, "T", "00:00:00"), formats).value_or(TimeOfDay{});
  values.interval = readInteger(file, "TAS", 0) != 0;
  values.afterStartMinutes = file.read(kSection, "TASmin", defaults.afterStartMinutes);
  values.repeatMinutes = file.read(kSection, "TNTmin", defaults.repeatMinutes);
  values.afterRun = static_cast<AfterRunAction>(
      std::clamp(readInteger(file, "AAZ", static_cast<int>(defaults.afterRun)), -1, 2));
  values.intervalMode = static_cast<IntervalMode>(
      std::clamp(readInteger(file, "TNT", static_cast<int>(defaults.intervalMode)), -1, 1));
  values.backupRan = readInteger(file, "DZP", 0) != 0;
  values.syncDeletions = readInteger(file, "SYNC", 1) != 0;
  values.historyDays =
      std::clamp(readInteger(file, "HIST", defaults.historyDays), 0, kMaxHistoryDays);
  return values;
}

Status writeSettingsFile(ProfileFile& file, const SettingsValues& values,
                         const RegionalFormats& formats) {
  return file.write(kSection, {{"T", formatTimeText(values.fixedTime, formats)},
                               {"TAS", values.interval ? "1" : "0"},
                               {"TASmin", values.afterStartMinutes},
                               {"TNTmin", values.repeatMinutes},
                               {"AAZ", std::to_string(static_cast<int>(values.afterRun))},
                               {"TNT", std::to_string(static_cast<int>(values.intervalMode))},
                               {"DZP", values.backupRan ? "1" : "0"},
                               {"SYNC", values.syncDeletions ? "1" : "0"},
                               {"HIST", std::to_string(values.historyDays)}});
}

}  // namespace tavro
