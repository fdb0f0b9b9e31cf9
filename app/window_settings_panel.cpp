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

TimeOfDay WindowSettingsPanel::fixedTimeEditor() const {
  const QTime t = c_.cxTimeEdit1->time();
  return {t.hour(), t.minute(), t.second(), t.msec()};
}

void WindowSettingsPanel::setFixedTimeEditor(const TimeOfDay& time) {
  c_.cxTimeEdit1->setTime(QTime(time.hour, time.minute, time.second, time.millisecond));
}

void WindowSettingsPanel::setFixedTimeEditorVisible(bool visible) {
  c_.cxLabel2->setVisible(visible);
  c_.cxTimeEdit1->setVisible(visible);
}

bool WindowSettingsPanel::intervalChecked() const { return c_.JVCHB1->isChecked(); }
void WindowSettingsPanel::setIntervalChecked(bool checked) { c_.JVCHB1->setChecked(checked); }

std::string WindowSettingsPanel::afterStartMinutes() const {
  return localBytes(c_.cxTextEdit1->text());
}
void WindowSettingsPanel::setAfterStartMinutes(const std::string& text) {
  c_.cxTextEdit1->setText(localText(text));
}
std::string WindowSettingsPanel::repeatMinutes() const {
  return localBytes(c_.cxTextEdit2->text());
}
void WindowSettingsPanel::setRepeatMinutes(const std::string& text) {
  c_.cxTextEdit2->setText(localText(text));
}

// The radio groups' item indices are the values of the choices.
AfterRunAction WindowSettingsPanel::afterRunAction() const {
  return static_cast<AfterRunAction>(c_.RG1->checkedId());
}
void WindowSettingsPanel::setAfterRunAction(AfterRunAction action) {
  selectItem(c_.RG1, static_cast<int>(action));
}
IntervalMode WindowSettingsPanel::intervalMode() const {
  return static_cast<IntervalMode>(c_.RG2->checkedId());
}
void WindowSettingsPanel::setIntervalMode(IntervalMode mode) {
  selectItem(c_.RG2, static_cast<int>(mode));
}

bool WindowSettingsPanel::syncDeletions() const { return c_.JvCheckBox1->isChecked(); }
void WindowSettingsPanel::setSyncDeletions(bool checked) { c_.JvCheckBox1->setChecked(checked); }
int WindowSettingsPanel::historyDays() const { return c_.SEHist->value(); }
void WindowSettingsPanel::setHistoryDays(int days) { c_.SEHist->setValue(days); }

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
