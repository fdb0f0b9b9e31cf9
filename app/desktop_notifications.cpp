#include "app/desktop_notifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace tavro {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

bool DesktopNotifications::available() const {
  if (!bus_.isConnected() || bus_.interface() == nullptr) return false;
  if (bus_.interface()->isServiceRegistered(kService).value()) return true;
  const QDBusMessage names = bus_.call(QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames")));
  return names.type() == QDBusMessage::ReplyMessage && !names.arguments().isEmpty() &&
         names.arguments().front().toStringList().contains(kService);
}

bool DesktopNotifications::send(const QString& title, const QString& text, BalloonIconKind kind,
                                int seconds) {
  if (!available()) return false;
  QDBusMessage notify = QDBusMessage::createMethodCall(
      kService, QStringLiteral("/org/freedesktop/Notifications"), kService,
      QStringLiteral("Notify"));
  // Urgency: low for information, normal for a warning, critical for an
  // error (which a server keeps until the user closes it).
  const uchar urgency = kind == BalloonIconKind::Error     ? 2
                        : kind == BalloonIconKind::Warning ? 1
                                                           : 0;
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(urgency));
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("cz.tavro.Tavro"));
  notify << QStringLiteral("Tavro") << *last_ << QStringLiteral("tavro") << title << text
         << QStringList() << hints << seconds * 1000;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(notify));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [last = last_](QDBusPendingCallWatcher* call) {
                     const QDBusPendingReply<uint> reply = *call;
                     if (reply.isValid()) *last = reply.value();
                     call->deleteLater();
                   });
  return true;
}

}  // namespace tavro
