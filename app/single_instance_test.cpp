#include "app/single_instance.h"

#include <QFile>
#include <QHostInfo>
#include <QSignalSpy>
#include <QtTest>
#include <future>

#include "testing/temp_tree.h"

namespace tavro {

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondStartHandsItsRequestToTheFirst() {
    testkit::TempTree tree;
    const QString settings = QString::fromStdString(tree.path("config/tavro/Tavro.ini"));
    auto first = std::make_unique<SingleInstance>(settings);
    QVERIFY(first->acquire());
    QSignalSpy shown(first.get(), &SingleInstance::showRequested);

    SingleInstance second(settings);
    QVERIFY(!second.acquire());
    // The second start waits for its answer while the first one's loop runs.
    auto answered = std::async(std::launch::async, [&] { return second.askToShow(); });
    QTRY_COMPARE(shown.count(), 1);
    QVERIFY(answered.get());

    // Another settings file is another program.
    SingleInstance other(QString::fromStdString(tree.path("portable/Tavro.ini")));
    QVERIFY(other.acquire());

    first.reset();
    SingleInstance third(settings);
    QVERIFY(third.acquire());
  }

  void aLockLeftByAProgramThatDiedIsTakenOver() {
    testkit::TempTree tree;
    const QString settings = QString::fromStdString(tree.path("Tavro.ini"));
    QFile lock(settings + QStringLiteral(".lock"));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    // No process has this number: the holder is gone.
    lock.write("4194000\ntavro\n" + QHostInfo::localHostName().toUtf8() + "\n");
    lock.close();
    SingleInstance instance(settings);
    QVERIFY(instance.acquire());
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::SingleInstanceTest)
#include "single_instance_test.moc"
