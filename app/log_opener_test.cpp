#include "app/log_opener.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace tavro {

// The opener against a system the test answers: which program it starts.
class LogOpenerTest : public QObject {
  Q_OBJECT

 private:
  struct Desktop {
    QString defaultApplication = QStringLiteral("org.gnome.TextEditor.desktop");
    bool terminal = false;
    bool defaultOpens = true;
    QStringList installed;  // programs on the PATH
    QString visual;
    QStringList started;    // what the opener ran, program and file

    LogOpener opener() {
      LogOpener::System system;
      system.defaultTextApplication = [this] { return defaultApplication; };
      system.runsInTerminal = [this](const QString&) { return terminal; };
      system.openWithDefault = [this](const QString& path) {
        if (defaultOpens) started << QStringLiteral("default ") + path;
        return defaultOpens;
      };
      system.start = [this](const QString& program, const QStringList& arguments) {
        started << program + ' ' + arguments.join(' ');
        return true;
      };
      system.findProgram = [this](const QString& program) {
        return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
      };
      system.environment = [this](const char*) { return visual; };
      return LogOpener(system);
    }
  };

 private slots:
  void theDefaultApplicationOpensTheLog() {
    Desktop desktop;
    QVERIFY(desktop.opener().open(QStringLiteral("/s/Tavro.log")));
    QCOMPARE(desktop.started, QStringList{QStringLiteral("default /s/Tavro.log")});
  }

  void aTerminalEditorIsPassedOverForAGraphicalOne() {
    Desktop desktop;
    desktop.defaultApplication = QStringLiteral("vim.desktop");
    desktop.terminal = true;
    desktop.visual = QStringLiteral("vim");
    desktop.installed = {QStringLiteral("xdg-open"), QStringLiteral("mousepad")};
    QVERIFY(desktop.opener().open(QStringLiteral("/s/Tavro.log")));
    QCOMPARE(desktop.started, QStringList{QStringLiteral("/usr/bin/mousepad /s/Tavro.log")});

    desktop.started.clear();
    desktop.visual = QStringLiteral("kate -n");
    QVERIFY(desktop.opener().open(QStringLiteral("/s/Tavro.log")));
    QCOMPARE(desktop.started, QStringList{QStringLiteral("kate -n /s/Tavro.log")});
  }

  void whenTheDefaultFailsXdgOpenIsTriedAndThenNothingIsLeft() {
    Desktop desktop;
    desktop.defaultOpens = false;
    desktop.installed = {QStringLiteral("xdg-open")};
    QVERIFY(desktop.opener().open(QStringLiteral("/s/Tavro.log")));
    QCOMPARE(desktop.started, QStringList{QStringLiteral("/usr/bin/xdg-open /s/Tavro.log")});

    desktop.started.clear();
    desktop.installed.clear();
    QVERIFY(!desktop.opener().open(QStringLiteral("/s/Tavro.log")));
    QVERIFY(desktop.started.isEmpty());
  }

  // A real xdg-open on the PATH: only its exit status tells that no file
  // manager took the folder.
  void aFolderOpenerThatEndsWithAnErrorIsReported() {
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
    for (const int status : {0, 4}) {
      QFile script(bin.filePath(QStringLiteral("xdg-open")));
      QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
      script.write("#!/bin/sh\n[ -d \"$1\" ] && exit " + QByteArray::number(status) + "\nexit 9\n");
      script.close();
      script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOwner);
      QObject owner;
      int failures = 0;
      QVERIFY(openFolderWatched(bin.path(), &owner, [&] { ++failures; }));
      QTRY_VERIFY(owner.findChildren<QProcess*>().isEmpty());
      QCOMPARE(failures, status == 0 ? 0 : 1);
    }
    qputenv("PATH", path);
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::LogOpenerTest)
#include "log_opener_test.moc"
