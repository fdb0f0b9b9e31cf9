#pragma once

#include <QDBusConnection>
#include <QString>
#include <memory>

#include "engine/run_display.h"

namespace tavro {

// Notices through the desktop's notification server
// (org.freedesktop.Notifications on the session bus). Desktops without a
// tray (stock GNOME) and trays that show no balloons of their own (trayer)
// still have one, and it shows the notice the same way everywhere.
class DesktopNotifications {
 public:
  explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus())
      : bus_(std::move(bus)) {}

  // Whether a server is running, or the bus starts one on demand.
  bool available() const;
  // Sends the notice without waiting for the server; it replaces the one
  // sent before if that still shows. False without a server.
  bool send(const QString& title, const QString& text, BalloonIconKind kind, int seconds);

 private:
  QDBusConnection bus_;
  // The server's number of the last notice, for replacing it.
  std::shared_ptr<uint> last_ = std::make_shared<uint>(0);
};

}  // namespace tavro
