#include "app/power_dbus.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace tavro {

namespace {

void callLogind(const char* method) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QString::fromLatin1(method));
  call << false;  // not interactive: no password prompt
  QDBusConnection::systemBus().send(call);
}

}  // namespace

void LogindPower::requestShutDown() { callLogind("PowerOff"); }
void LogindPower::requestSuspend() { callLogind("Suspend"); }

}  // namespace tavro
