#include "app/window_settings_panel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimeEdit>

#include "app/local_text.h"

namespace tavro {

namespace {

void selectItem(QButtonGroup* group, int index) {
  if (index >= 0 && group->button(index) != nullptr) {
    group->button(index)->setChecked(true);
    return;
  }
  // No item selected: an exclusive group has to let go first.
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

}  // namespace

bool WindowSettingsPanel::isOpen() const { return c_.JvRollOut1Body->isVisible(); }

void WindowSettingsPanel::setOpen(bool open) {
  c_.JvRollOut1Body->setVisible(open);
  c_.JvRollOut1->resize(c_.JvRollOut1->width(),
                        open ? kSettingsPanelOpenHeight : kSettingsPanelClosedHeight);
  c_.JvRollOut1->raise();
}

// The radio groups' item indices are the values of the choices.
SettingsValues WindowSettingsPanel::values() const {
  SettingsValues v;
  const QTime t = c_.cxTimeEdit1->time();
  v.fixedTime = {t.hour(), t.minute(), t.second(), t.msec()};
  v.interval = c_.JVCHB1->isChecked();
  v.afterStartMinutes = localBytes(c_.cxTextEdit1->text());
  v.repeatMinutes = localBytes(c_.cxTextEdit2->text());
  v.afterRun = static_cast<AfterRunAction>(c_.RG1->checkedId());
  v.intervalMode = static_cast<IntervalMode>(c_.RG2->checkedId());
  v.syncDeletions = c_.JvCheckBox1->isChecked();
  v.historyDays = c_.SEHist->value();
  return v;
}

void WindowSettingsPanel::show(const SettingsValues& v) {
  const TimeOfDay& t = v.fixedTime;
  c_.cxTimeEdit1->setTime(QTime(t.hour, t.minute, t.second, t.millisecond));
  c_.JVCHB1->setChecked(v.interval);
  c_.cxTextEdit1->setText(localText(v.afterStartMinutes));
  c_.cxTextEdit2->setText(localText(v.repeatMinutes));
  selectItem(c_.RG1, static_cast<int>(v.afterRun));
  selectItem(c_.RG2, static_cast<int>(v.intervalMode));
  c_.JvCheckBox1->setChecked(v.syncDeletions);
  c_.SEHist->setValue(v.historyDays);
}

void WindowSettingsPanel::setFixedTimeEditorVisible(bool visible) {
  c_.cxLabel2->setVisible(visible);
  c_.cxTimeEdit1->setVisible(visible);
}

std::string WindowSettingsPanel::scheduleDisplay(ScheduleDisplay which) const {
  return localBytes((which == ScheduleDisplay::FixedTime ? c_.ECas : c_.EVarCas)->text());
}

void WindowSettingsPanel::setScheduleDisplay(ScheduleDisplay which, const std::string& text) {
  (which == ScheduleDisplay::FixedTime ? c_.ECas : c_.EVarCas)->setText(localText(text));
}

void WindowSettingsPanel::setMinutesDisplay(const std::string& text) {
  c_.Emin->setText(localText(text));
}

void WindowSettingsPanel::showModeControls(ScheduleMode mode) {
  const bool fixed = mode == ScheduleMode::FixedTime;
  c_.ECas->setVisible(fixed);
  c_.Emin->setVisible(!fixed);
  c_.Lmin->setVisible(mode == ScheduleMode::AfterStart);
  c_.LKaz->setVisible(mode == ScheduleMode::Repeat);
  c_.Lm->setVisible(mode == ScheduleMode::Repeat);
  c_.EVarCas->setVisible(!fixed);
  c_.LVarCas->setVisible(!fixed);
}

void WindowSettingsPanel::showClock(const std::string& date, const std::string& time) {
  c_.Label4->setText(localText(date));
  c_.Label5->setText(localText(time));
}

}  // namespace tavro
