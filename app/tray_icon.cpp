#include "app/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace tavro {

namespace {

// The program's icon with an amber warning triangle in its lower right
// corner, drawn at each size the icon has.
QIcon withWarningSign(const QIcon& icon) {
  QIcon marked;
  for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
    QPixmap pixmap = icon.pixmap(size, size);
    if (pixmap.isNull()) continue;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = pixmap.width() * 0.62;
    const QPointF origin(pixmap.width() - s, pixmap.height() - s);
    QPolygonF triangle;
    triangle << origin + QPointF(s / 2, 0) << origin + QPointF(s, s) << origin + QPointF(0, s);
    painter.setPen(QPen(QColor(80, 40, 0), std::max(1.0, s / 14)));
    painter.setBrush(QColor(255, 191, 0));
    painter.drawPolygon(triangle);
    painter.setPen(QPen(QColor(40, 20, 0), std::max(1.0, s / 9), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(origin + QPointF(s / 2, s * 0.36), origin + QPointF(s / 2, s * 0.68));
    painter.drawPoint(origin + QPointF(s / 2, s * 0.84));
    marked.addPixmap(pixmap);
  }
  return marked;
}

}  // namespace

TrayIcon::TrayIcon(QWidget* mainWindow, const QIcon& icon, std::function<bool()> trayAvailable)
    : QObject(mainWindow),
      window_(mainWindow),
      icon_(icon),
      menu_(new QMenu(mainWindow)),
      trayAvailable_(std::move(trayAvailable)),
      normal_(icon),
      warningIcon_(withWarningSign(icon)) {
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  show_ = menu_->addAction(QStringLiteral("&Zobrazit program"));
  show_->setObjectName(QStringLiteral("Zobrazit1"));
  preview_ = menu_->addAction(QStringLiteral("Náhled zálohy"));
  preview_->setObjectName(QStringLiteral("Nahled1"));
  interrupt_ = menu_->addAction(QStringLiteral("Přerušit zálohu"));
  interrupt_->setObjectName(QStringLiteral("Prerusit1"));
  interrupt_->setVisible(false);
  about_ = menu_->addAction(QStringLiteral("O programu"));
  about_->setObjectName(QStringLiteral("Oprogramu1"));
  quit_ = menu_->addAction(QStringLiteral("&Ukončit program"));
  quit_->setObjectName(QStringLiteral("Ukonitprogram1"));
  icon_.setContextMenu(menu_);
  connect(show_, &QAction::triggered, this, &TrayIcon::RestoreFromTray);
  connect(quit_, &QAction::triggered, this, &TrayIcon::endRequested);
  connect(interrupt_, &QAction::triggered, this, &TrayIcon::interruptRequested);
  connect(preview_, &QAction::triggered, this, &TrayIcon::previewRequested);
  connect(about_, &QAction::triggered, this, &TrayIcon::aboutRequested);
  connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
  ShowTrayIcon();
}

TrayIcon::~TrayIcon() { icon_.hide(); }

void TrayIcon::setRunInProgress(bool running) { interrupt_->setVisible(running); }

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
  // A click, as the desktop's other tray programs take it (a
  // StatusNotifierItem's "Activate" comes as one too), or a double click.
  if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
    RestoreFromTray();
  }
}

void TrayIcon::showWarning(bool warning) {
  if (warning == warning_) return;
  warning_ = warning;
  icon_.setIcon(warning ? warningIcon_ : normal_);
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

bool TrayIcon::HideToTray() {
  if (window_ == nullptr || !trayAvailable_()) return false;
  window_->hide();
  return true;
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
  // The notification server shows it with or without a tray; Qt would send
  // it there too, but only through a StatusNotifierItem host.
  if (notify_ && notify_(title, text, kind, seconds)) return true;
  // A new message replaces one still showing.
  icon_.showMessage(title, text, kIcons[static_cast<int>(kind)], seconds * 1000);
  return trayAvailable_();
}

void TrayIcon::remove() {
  visible_ = false;
  icon_.hide();
}

}  // namespace tavro
