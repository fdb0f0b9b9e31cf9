#include "app/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidget>

namespace tavro {

TrayIcon::TrayIcon(QWidget* mainWindow, const QIcon& icon, std::function<bool()> trayAvailable)
    : QObject(mainWindow),
      window_(mainWindow),
      icon_(icon),
      menu_(new QMenu(mainWindow)),
      trayAvailable_(std::move(trayAvailable)) {
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  show_ = menu_->addAction(QStringLiteral("Zobrazit program"));
  show_->setObjectName(QStringLiteral("Zobrazit1"));
  quit_ = menu_->addAction(QStringLiteral("Ukončit program"));
  quit_->setObjectName(QStringLiteral("Ukonitprogram1"));
  icon_.setContextMenu(menu_);
  connect(show_, &QAction::triggered, this, &TrayIcon::RestoreFromTray);
  connect(quit_, &QAction::triggered, this, &TrayIcon::endRequested);
  connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
  ShowTrayIcon();
}

TrayIcon::~TrayIcon() { icon_.hide(); }

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) RestoreFromTray();
}

void TrayIcon::ShowTrayIcon() {
  visible_ = true;
  hadTray_ = trayAvailable_();
  icon_.show();
}

void TrayIcon::checkTray() {
  const bool available = trayAvailable_();
  if (available && !hadTray_ && visible_) {
    icon_.hide();
    icon_.show();
  }
  hadTray_ = available;
}

void TrayIcon::HideToTray() {
  if (window_ == nullptr || !trayAvailable_()) return;
  window_->hide();
}

void TrayIcon::RestoreFromTray() {
  if (window_ == nullptr) return;
  if (window_->isMinimized()) window_->showNormal();
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void TrayIcon::SetTrayHint(const QString& hint) {
  QString shown = hint.left(127);
  if (shown.size() == 127 && shown.back().isHighSurrogate()) shown.chop(1);
  hint_ = shown;
  icon_.setToolTip(shown);
}

bool TrayIcon::ShowBalloon(const QString& title, const QString& text, BalloonIconKind kind,
                           int seconds) {
  static const QSystemTrayIcon::MessageIcon kIcons[] = {
      QSystemTrayIcon::NoIcon, QSystemTrayIcon::Information, QSystemTrayIcon::Warning,
      QSystemTrayIcon::Critical};
  balloon_ = {title, text, kind, seconds};
  // A new message replaces one still showing.
  icon_.showMessage(title, text, kIcons[static_cast<int>(kind)], seconds * 1000);
  return trayAvailable_();
}

void TrayIcon::remove() {
  visible_ = false;
  icon_.hide();
}

}  // namespace tavro
