#include "app/single_instance.h"

#include <QFile>
#include <QHostInfo>
#include <QSignalSpy>
#include <QtTest>
#include <future>

#include "testing/real_system.h"
#include "testing/temp_tree.h"

namespace tavro {

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondStartHandsItsRequestToTheFirst() {
    testkit::TempTree tree;
    const QString settings = QString::fromStdString(tree.path("config/tavro/Tavro.ini"));
    auto first = std::make_unique<SingleInstance>(settings);
    QCOMPARE(first->acquire(), SingleInstance::Outcome::Acquired);
    QSignalSpy shown(first.get(), &SingleInstance::showRequested);

    SingleInstance second(settings);
    QCOMPARE(second.acquire(), SingleInstance::Outcome::HeldElsewhere);
    // The second start waits for its answer while the first one's loop runs.
    auto answered = std::async(std::launch::async, [&] { return second.askToShow(); });
    QTRY_COMPARE(shown.count(), 1);
    QVERIFY(answered.get());

    // Another settings file is another program.
    SingleInstance other(QString::fromStdString(tree.path("portable/Tavro.ini")));
    QCOMPARE(other.acquire(), SingleInstance::Outcome::Acquired);

    first.reset();
    SingleInstance third(settings);
    QCOMPARE(third.acquire(), SingleInstance::Outcome::Acquired);
  }

  void aLockThatCannotBeMadeIsNoOtherInstance() {
    testkit::TempTree tree;
    // A settings folder the user cannot write: a read-only home, say.
    const QString settings = QString::fromStdString(tree.folder("ro") + "/Tavro.ini");
    testkit::openPathToOthers(tree.path("ro"));
    std::string whyNot;
    const std::string said = testkit::runAsNobody(
        [&] {
          SingleInstance instance(settings);
          return instance.acquire() == SingleInstance::Outcome::Unavailable
                     ? instance.unavailableReason().toStdString()
                     : std::string("no");
        },
        &whyNot);
    if (!whyNot.empty()) QSKIP(whyNot.c_str());
    QVERIFY2(said.rfind("Nelze vytvořit zámek " + settings.toStdString() + ".lock: ", 0) == 0,
             said.c_str());
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
    QCOMPARE(instance.acquire(), SingleInstance::Outcome::Acquired);
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::SingleInstanceTest)
#include "single_instance_test.moc"
