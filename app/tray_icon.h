#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

#include "engine/run_display.h"

class QAction;
class QMenu;
class QWidget;

namespace tavro {

// The program's presence in the notification area: icon, hover text,
// balloons and the menu "Zobrazit program" / "Náhled zálohy" / "Přerušit
// zálohu" (during a run) / "O programu" / "Ukončit program". Hiding the
// window into a tray that is not there would leave the program unreachable,
// so without a tray the window stays where the user can see it.
class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // `trayAvailable` answers whether the desktop has a notification area.
  TrayIcon(QWidget* mainWindow, const QIcon& icon,
           std::function<bool()> trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable);
  ~TrayIcon() override;

  void ShowTrayIcon();
  // False, the window left shown, without a tray to bring it back from.
  bool HideToTray();
  void RestoreFromTray();
  // Keeps the first 127 characters.
  void SetTrayHint(const QString& hint);
  // Through `notify` (the desktop's notification server) where it takes the
  // notice, else as the tray's own balloon.
  bool ShowBalloon(const QString& title, const QString& text, BalloonIconKind kind, int seconds);
  using Notify = std::function<bool(const QString& title, const QString& text,
                                    BalloonIconKind kind, int seconds)>;
  void setNotify(Notify notify) { notify_ = std::move(notify); }
  // Removes the icon; the program is ending.
  void remove();

  QString hint() const { return hint_; }
  struct Balloon {
    QString title;
    QString text;
    BalloonIconKind kind = BalloonIconKind::None;
    int seconds = 0;
  };
  // The balloon shown last (it replaced any still showing).
  const Balloon& lastBalloon() const { return balloon_; }
  QSystemTrayIcon& icon() { return icon_; }
  QMenu* menu() const { return menu_; }
  QAction* Zobrazit1() const { return show_; }
  QAction* Ukonitprogram1() const { return quit_; }
  QAction* Prerusit1() const { return interrupt_; }
  QAction* Nahled1() const { return preview_; }
  QAction* Oprogramu1() const { return about_; }
  // "Přerušit zálohu" is in the menu while a run is in progress.
  void setRunInProgress(bool running);

  // Re-adds the icon when a tray has appeared since it was shown.
  void checkTray();

  // The icon with a warning sign, after a run with failures, until a run
  // without any.
  void showWarning(bool warning);
  bool showsWarning() const { return warning_; }

 signals:
  void endRequested();
  void interruptRequested();
  void previewRequested();
  void aboutRequested();

 private:
  void activated(QSystemTrayIcon::ActivationReason reason);

  QWidget* window_;
  QSystemTrayIcon icon_;
  QMenu* menu_;
  QAction* show_;
  QAction* preview_;
  QAction* interrupt_;
  QAction* about_;
  QAction* quit_;
  QString hint_;
  Balloon balloon_;
  std::function<bool()> trayAvailable_;
  Notify notify_;
  bool visible_ = true;
  bool hadTray_ = false;
  QIcon normal_;
  QIcon warningIcon_;
  bool warning_ = false;
};

}  // namespace tavro
