#include "app/desktop_notifications.h"

#include <QDBusConnection>
#include <QIcon>
#include <QWidget>
#include <QtTest>

#include "app/tray_icon.h"

namespace tavro {

// A notification server on the test's own session bus, on a connection of
// its own, so every notice really crosses the bus.
class FakeServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Notice {
    QString application;
    uint replaces = 0;
    QString summary;
    QString body;
    QVariantMap hints;
    int timeout = 0;
  };
  QList<Notice> notices;

 public slots:
  uint Notify(const QString& application, uint replaces, const QString&, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
    notices << Notice{application, replaces, summary, body, hints, timeout};
    return 40 + static_cast<uint>(notices.size());
  }
};

class DesktopNotificationsTest : public QObject {
  Q_OBJECT

 private slots:
  // Without a server the tray's own balloon is left to show; with one, the
  // notice goes there even where no tray is.
  void noticesReachTheServerWithOrWithoutATray() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
    DesktopNotifications notifications;
    QVERIFY(!notifications.available());
    QVERIFY(!notifications.send(QStringLiteral("Tavro"), QStringLiteral("x"),
                                BalloonIconKind::Warning, 10));

    QDBusConnection serverBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
    FakeServer server;
    QVERIFY(serverBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                     QDBusConnection::ExportAllSlots));
    QVERIFY(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(notifications.available());

    QWidget window;
    TrayIcon tray(&window, QIcon(), [] { return false; });
    tray.setNotify([&](const QString& title, const QString& text, BalloonIconKind kind,
                       int seconds) { return notifications.send(title, text, kind, seconds); });
    QVERIFY(tray.ShowBalloon(QStringLiteral("Tavro"), QStringLiteral("Záloha s chybami: 1 z 2"),
                             BalloonIconKind::Warning, 10));
    QTRY_COMPARE(server.notices.size(), 1);
    const FakeServer::Notice first = server.notices.front();
    QCOMPARE(first.application, QStringLiteral("Tavro"));
    QCOMPARE(first.summary, QStringLiteral("Tavro"));
    QCOMPARE(first.body, QStringLiteral("Záloha s chybami: 1 z 2"));
    QCOMPARE(first.hints.value(QStringLiteral("urgency")).value<uchar>(), uchar(1));
    QCOMPARE(first.timeout, 10000);
    QCOMPARE(first.replaces, 0u);

    // The next notice replaces the one the server numbered.
    QTest::qWait(50);
    QVERIFY(tray.ShowBalloon(QStringLiteral("Tavro"), QStringLiteral("Spuštěno"),
                             BalloonIconKind::Information, 10));
    QTRY_COMPARE(server.notices.size(), 2);
    QCOMPARE(server.notices[1].replaces, 41u);
    QCOMPARE(server.notices[1].hints.value(QStringLiteral("urgency")).value<uchar>(), uchar(0));
    serverBus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::DesktopNotificationsTest)
#include "desktop_notifications_test.moc"
