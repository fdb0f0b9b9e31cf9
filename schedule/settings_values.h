#pragma once

#include <string>

#include "platform/profile_file.h"
#include "platform/regional_formats.h"
#include "schedule/settings_rules.h"

namespace tavro {

// RG1, "Po provedení zálohy"; the value is the item's index, as AAZ stores it.
enum class AfterRunAction : int { NotChosen = -1, ShutDown = 0, Suspend = 1, Nothing = 2 };
// RG2, the interval mode; the value is the item's index, as TNT stores it.
// With no item chosen the schedule refresh takes repeat mode.
enum class IntervalMode : int { NotChosen = -1, AfterStart = 0, Repeat = 1 };

inline constexpr int kDefaultHistoryDays = 30;
inline constexpr int kMaxHistoryDays = 3650;

// Every setting Tavro.ini keeps, as its section Main holds it; each member
// names its key. The defaults are what a file without the key gives. A new
// setting is a member here, its line in the reader and the writer, and its
// control in the panel.
struct SettingsValues {
  TimeOfDay fixedTime;                                   // T, the daily run time
  bool interval = false;                                 // TAS, JVCHB1: run by interval, not daily
  std::string afterStartMinutes = "10";                  // TASmin, cxTextEdit1
  std::string repeatMinutes = "30";                      // TNTmin, cxTextEdit2
  AfterRunAction afterRun = AfterRunAction::Nothing;     // AAZ, RG1
  IntervalMode intervalMode = IntervalMode::AfterStart;  // TNT, RG2
  // DZP: a run finished since start-up or the last save. The schedule owns
  // it; the file only records it and no panel shows it.
  bool backupRan = false;
  bool syncDeletions = true;              // SYNC, JvCheckBox1
  int historyDays = kDefaultHistoryDays;  // HIST, SEHist: 0 to kMaxHistoryDays

  bool operator==(const SettingsValues&) const = default;
};

// The keys of section Main by the file's rules: a value that is no integer
// takes the key's default, a choice out of range the nearest one, and a
// time that cannot be read midnight. The minute boxes keep their text as it
// is: the schedule reports what it cannot read.
SettingsValues readSettingsFile(const ProfileFile& file, const RegionalFormats& formats);

// Every key in one replacement of the file, in the order T, TAS, TASmin,
// TNTmin, AAZ, TNT, DZP, SYNC, HIST; the time in the regional long format.
Status writeSettingsFile(ProfileFile& file, const SettingsValues& values,
                         const RegionalFormats& formats);

}  // namespace tavro
