#include "win/window_settings_panel.h"

#include <commctrl.h>

#include <algorithm>
#include <charconv>
#include <string>

#include "program/window_layout.h"

namespace tavro::win {

namespace {

bool checked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void check(HWND button, bool on) {
  ::SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The radio groups' item indices are the values of the choices; -1 when no
// item is checked.
int checkedItem(const WindowControls& c, const std::string& group, int count) {
  for (int i = 0; i < count; ++i) {
    if (checked(c[group + "Item" + std::to_string(i)])) return i;
  }
  return -1;
}

void checkItem(const WindowControls& c, const std::string& group, int count, int index) {
  for (int i = 0; i < count; ++i) check(c[group + "Item" + std::to_string(i)], i == index);
}

}  // namespace

// By the body's own visibility: the window may be hidden in the tray.
bool WindowSettingsPanel::isOpen() const { return isShown(c_["JvRollOut1Body"]); }

void WindowSettingsPanel::setOpen(bool open) {
  HWND panel = c_["JvRollOut1"];
  RECT r;
  ::GetWindowRect(panel, &r);
  const int dpi = static_cast<int>(::GetDpiForWindow(panel));
  ::SetWindowPos(panel, HWND_TOP, 0, 0, r.right - r.left,
                 scaled(open ? kSettingsPanelOpenHeight : kSettingsPanelClosedHeight, dpi),
                 SWP_NOMOVE | SWP_NOACTIVATE);
  showControl(c_["JvRollOut1Body"], open);
}

SettingsValues WindowSettingsPanel::values() const {
  SettingsValues v;
  SYSTEMTIME t{};
  ::SendMessageW(c_["cxTimeEdit1"], DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
  v.fixedTime = {t.wHour, t.wMinute, t.wSecond, 0};
  if (v.fixedTime.hour == shownTime_.hour && v.fixedTime.minute == shownTime_.minute &&
      v.fixedTime.second == shownTime_.second) {
    v.fixedTime.millisecond = shownTime_.millisecond;
  }
  v.interval = checked(c_["JVCHB1"]);
  v.afterStartMinutes = textOf(c_["cxTextEdit1"]);
  v.repeatMinutes = textOf(c_["cxTextEdit2"]);
  v.afterRun = static_cast<AfterRunAction>(checkedItem(c_, "RG1", 3));
  v.intervalMode = static_cast<IntervalMode>(checkedItem(c_, "RG2", 2));
  v.syncDeletions = checked(c_["JvCheckBox1"]);
  // The arrows keep the number in range; typed digits may not be.
  const std::string days = textOf(c_["SEHist"]);
  int value = kDefaultHistoryDays;
  std::from_chars(days.data(), days.data() + days.size(), value);
  v.historyDays = std::clamp(value, 0, kMaxHistoryDays);
  return v;
}

void WindowSettingsPanel::show(const SettingsValues& v) {
  shownTime_ = v.fixedTime;
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  t.wHour = static_cast<WORD>(v.fixedTime.hour);
  t.wMinute = static_cast<WORD>(v.fixedTime.minute);
  t.wSecond = static_cast<WORD>(v.fixedTime.second);
  t.wMilliseconds = 0;
  ::SendMessageW(c_["cxTimeEdit1"], DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  check(c_["JVCHB1"], v.interval);
  setText(c_["cxTextEdit1"], v.afterStartMinutes);
  setText(c_["cxTextEdit2"], v.repeatMinutes);
  checkItem(c_, "RG1", 3, static_cast<int>(v.afterRun));
  checkItem(c_, "RG2", 2, static_cast<int>(v.intervalMode));
  check(c_["JvCheckBox1"], v.syncDeletions);
  setText(c_["SEHist"], std::to_string(v.historyDays));
}

void WindowSettingsPanel::setFixedTimeEditorVisible(bool visible) {
  showControl(c_["cxLabel2"], visible);
  showControl(c_["cxTimeEdit1"], visible);
}

std::string WindowSettingsPanel::scheduleDisplay(ScheduleDisplay which) const {
  return textOf(c_[which == ScheduleDisplay::FixedTime ? "ECas" : "EVarCas"]);
}

void WindowSettingsPanel::setScheduleDisplay(ScheduleDisplay which, const std::string& text) {
  setText(c_[which == ScheduleDisplay::FixedTime ? "ECas" : "EVarCas"], text);
}

void WindowSettingsPanel::setMinutesDisplay(const std::string& text) { setText(c_["Emin"], text); }

void WindowSettingsPanel::showModeControls(ScheduleMode mode) {
  const bool fixed = mode == ScheduleMode::FixedTime;
  showControl(c_["ECas"], fixed);
  showControl(c_["Emin"], !fixed);
  showControl(c_["Lmin"], mode == ScheduleMode::AfterStart);
  showControl(c_["LKaz"], mode == ScheduleMode::Repeat);
  showControl(c_["Lm"], mode == ScheduleMode::Repeat);
  showControl(c_["EVarCas"], !fixed);
  showControl(c_["LVarCas"], !fixed);
}

void WindowSettingsPanel::showClock(const std::string& date, const std::string& time) {
  setText(c_["Label4"], date);
  setText(c_["Label5"], time);
}

}  // namespace tavro::win
