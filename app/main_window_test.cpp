#include "app/main_window.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <memory>

#include "app/preview_window.h"
#include "app/signal_bridge.h"
#include "testing/form_harness.h"

namespace tavro {
class MainWindowTest : public testkit::FormTest {
  Q_OBJECT

 private slots:
  void init() { resetHarness(); }
  void cleanup() { form.reset(); }

  void runNowUpdatesTheWindowAndWritesTheLog() {
    start();
    addPairWithOneFile();
    click("BitBtn2");

    auto* lines = find<QListWidget>("LB2");
    QCOMPARE(lines->count(), 1);
    QCOMPARE(lines->item(0)->text(),
             QString::fromStdString("09.12.202610:00- Záloha OK: " + tree->path("data/A")));
    QCOMPARE(labelText("Label6"), QStringLiteral("Záloha provedena ..."));
    QCOMPARE(h.tray().hint(), QStringLiteral("Záloha OK ."));
    QCOMPARE(h.tray().lastBalloon().title, QStringLiteral("Tavro"));
    QCOMPARE(h.tray().lastBalloon().text, QStringLiteral("Spuštěno automatické zálohování..."));
    QCOMPARE(h.tray().lastBalloon().seconds, 10);
    QCOMPARE(labelText("Label3"), QStringLiteral("09.12.2026 10:00"));
    QCOMPARE(find<QLabel>("Label6")->palette().color(QPalette::Window), QColor(0, 255, 0));
    QVERIFY(!find<QProgressBar>("G1")->isVisible());
    QVERIFY(labelText("Label7").isEmpty());
    QCOMPARE(find<QTableView>("DBGrid1")->model()->index(0, 2).data().toString(),
             QStringLiteral("OK"));
    const std::string log = tree->read("Tavro.log");
    QVERIFY(log.find("-------------------------------------\r\n09.12.202610:00- Záloha OK: ") !=
            std::string::npos);
    QCOMPARE(tree->read("backup/A/a.txt"), std::string("a"));
    QVERIFY2(events.empty(), "no after-run action by default");
  }

  void aRunWithFailuresIsShownAsSuchUntilACleanRun() {
    start();
    addPairWithOneFile();
    addPair("data/gone");
    click("BitBtn2");
    QVERIFY(h.tray().lastBalloon().text.startsWith(QStringLiteral("Záloha s chybami: 1 z 2\n")));
    QCOMPARE(h.tray().lastBalloon().kind, BalloonIconKind::Warning);
    // Only a run that went well counts as the last successful one.
    QCOMPARE(labelText("Label3"), QStringLiteral("neprovedeno"));
    QVERIFY(h.tray().showsWarning());
    QVERIFY(h.tray().icon().icon().cacheKey() != form->windowIcon().cacheKey());
    // The status stays readable on its warning colour (WCAG contrast).
    const QPalette status = find<QLabel>("Label6")->palette();
    QVERIFY(contrast(status.color(QPalette::Window), status.color(QPalette::WindowText)) >= 4.5);
    QVERIFY(status.color(QPalette::Window) != QColor(0, 255, 0));

    form->table().moveTo(1);
    form->table().remove();
    click("BitBtn2");
    QVERIFY(!h.tray().showsWarning());
    QCOMPARE(find<QLabel>("Label6")->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(h.tray().lastBalloon().text, QStringLiteral("Spuštěno automatické zálohování..."));
    QCOMPARE(labelText("Label3"), QStringLiteral("09.12.2026 10:00"));
  }

  void runNowOnAnEmptyTableLogsTwoLines() {
    start();
    click("BitBtn2");
    QCOMPARE(find<QListWidget>("LB2")->count(), 0);
    const std::string log = tree->read("Tavro.log");
    QCOMPARE(std::count(log.begin(), log.end(), '\n'), 2);
  }

  void theCloseQuestionDecides() {
    start();
    dialogs.answerYes = false;
    QVERIFY(!form->close());
    QCOMPARE(dialogs.questions, 1);
    QVERIFY(form->isVisible());
    QVERIFY(!form->isEnding());
    dialogs.answerYes = true;
    form->close();
    QVERIFY(form->isEnding());
  }

  void ukoncitProgramEndsWithoutAQuestion() {
    start();
    form->hide();
    h.tray().Ukonitprogram1()->trigger();
    QVERIFY(form->isEnding());
    QCOMPARE(dialogs.questions, 0);
  }

  void anEndRequestedDuringARunWaitsForTheRunAndItsLog() {
    start();
    addPairWithOneFile();
    bool endedInsideRun = true;
    QTimer::singleShot(0, form.get(), [&] {
      form->requestEnd();
      endedInsideRun = form->isEnding();
    });
    click("BitBtn2");
    QVERIFY(!endedInsideRun);
    QVERIFY(form->isEnding());
    QVERIFY(tree->exists("Tavro.log"));
  }

  void aFailedSaveAtStartUpStillOpensThePairTable() {
    h.start("", [&] { faulty->fail(testkit::FaultOp::Rename, tree->path("Tavro.ini"), ENOSPC); });
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.errors.front().startsWith(QStringLiteral("Unable to write to ")));
    QVERIFY(form->table().isOpen());
    faulty->clear();  // space was freed
    addPairWithOneFile();
    click("BitBtn2");
    QCOMPARE(dialogs.errors.size(), 1);
    QCOMPARE(tree->read("backup/A/a.txt"), std::string("a"));
  }

  void aScheduledMinuteUnderAStartUpBoxWaitsForTheStartUp() {
    h.start("SRC,TRG,STAV\r\n", [&] {
      tree->file("Tavro.ini", "[Main]\nT=10:00:00\n");
      faulty->fail(testkit::FaultOp::Rename, tree->path("Tavro.ini"), ENOSPC);
      dialogs.whileErrorShown = [&] {
        dialogs.whileErrorShown = nullptr;
        form->Timer1Timer();
      };
    });
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.errors.front().startsWith(QStringLiteral("Unable to write to ")));
    form->Timer1Timer();  // the same minute, the table open
    QVERIFY(tree->exists("Tavro.log"));
    QCOMPARE(dialogs.errors.size(), 1);
  }

  void aSignalEndsARunAfterThePairItIsOn() {
    start();
    addPairWithOneFile();
    tree->file("data/B/b.txt", "b");
    addPair("data/B");
    QTimer::singleShot(0, form.get(), [&] { form->endSoon(); });
    click("BitBtn2");
    QVERIFY(form->isEnding());
    QCOMPARE(form->table().fieldTextAt(0, "Stav"), std::string("OK"));
    QCOMPARE(form->table().fieldTextAt(1, "Stav"), std::string("Neprovedeno"));
    QVERIFY(tree->read("Tavro.log").find("Záloha přerušena ukončením programu !!!") !=
            std::string::npos);
  }

  void prerusitStopsTheRunWithoutTheAfterRunAction() {
    start();
    addPairWithOneFile();
    tree->file("data/B/b.txt", "b");
    addPair("data/B");
    find<QRadioButton>("RG1Item0")->click();  // "Vypnout PC"
    auto* button = find<QPushButton>("BBPrerusit");
    QVERIFY(!button->isVisible());
    QVERIFY(!h.tray().Prerusit1()->isVisible());
    bool offered = false;
    // The button is pressed from inside the run, as the user's click arrives
    // through its message pump.
    QTimer::singleShot(0, form.get(), [&] {
      offered = button->isVisible() && h.tray().Prerusit1()->isVisible();
      button->click();
    });
    click("BitBtn2");

    QVERIFY(offered);
    QVERIFY(!button->isVisible());
    QVERIFY(!h.tray().Prerusit1()->isVisible());
    QCOMPARE(form->table().fieldTextAt(0, "Stav"), std::string("Přerušeno"));
    QCOMPARE(form->table().fieldTextAt(1, "Stav"), std::string("Neprovedeno"));
    QCOMPARE(labelText("Label6"), QStringLiteral("Záloha přerušena ..."));
    QCOMPARE(h.tray().hint(), QStringLiteral("Záloha přerušena ."));
    const std::string entry = "09.12.202610:00- Záloha přerušena: " + tree->path("data/A");
    QCOMPARE(find<QListWidget>("LB2")->item(find<QListWidget>("LB2")->count() - 1)->text(),
             QString::fromStdString(entry));
    QVERIFY(tree->read("Tavro.log").find(entry) != std::string::npos);
    QVERIFY2(events.empty(), "no shut-down after a stopped run");

    // The tray's item does the same.
    QTimer::singleShot(0, form.get(), [&] { h.tray().Prerusit1()->trigger(); });
    click("BitBtn2");
    QCOMPARE(form->table().fieldTextAt(0, "Stav"), std::string("Přerušeno"));
    QVERIFY(events.empty());
  }

  void historieOpensTheSelectedPairsHistoryWhereThereIsOne() {
    start();
    click("BBHistorie");
    QCOMPARE(dialogs.warnings, QStringList{QString::fromUtf8(kNoPairChosen)});
    addPairWithOneFile();
    addPair("data/B/");
    tree->folder("backup/.tavro-historie/B/2026-12-01 10.00.00");
    h.grid().setCurrentIndex(h.grid().model()->index(0, 0));
    click("BBHistorie");
    QVERIFY2(h.openedFolders.isEmpty(), "pair A has no history yet");
    QCOMPARE(dialogs.warnings.last(), QString::fromUtf8(kNoHistoryYet));
    h.grid().setCurrentIndex(h.grid().model()->index(1, 0));
    click("BBHistorie");
    const QString history = QString::fromStdString(tree->path("backup/.tavro-historie/B"));
    QCOMPARE(h.openedFolders, QStringList{history});
    QVERIFY(dialogs.errors.isEmpty());
    // The opener started but found no file manager.
    h.folderOpens = false;
    click("BBHistorie");
    QCOMPARE(dialogs.errors, QStringList{QStringLiteral("Nelze otevřít složku: ") + history + '.'});
  }

  void nahledShowsThePlanChangesNothingAndZalohovatRunsIt() {
    start();
    addPairWithOneFile();
    tree->file("backup/A/old.txt", "old");
    click("BBNahled");
    auto* preview = form->findChild<PreviewWindow*>();
    QVERIFY(preview != nullptr);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Náhled zálohy"));
    QCOMPARE(preview->findChild<QListWidget*>("PreviewSummary")->item(0)->text(),
             QString::fromStdString("Zdroj: " + tree->path("data/A") +
                                    " — nové: 1, změněné: 0, smazané: 1, celkem 0,0 MB"));
    QCOMPARE(preview->model().rowCount(), 2);
    QVERIFY(!tree->exists("backup/A/a.txt"));
    QVERIFY(tree->exists("backup/A/old.txt"));
    QVERIFY(!tree->exists("Tavro.log"));
    QCOMPARE(find<QListWidget>("LB2")->count(), 0);

    find<QPushButton>("BBZalohovat")->click();
    QTRY_VERIFY(tree->exists("Tavro.log"));
    QCOMPARE(tree->read("backup/A/a.txt"), std::string("a"));
    QVERIFY(!tree->exists("backup/A/old.txt"));
    QTRY_VERIFY(form->findChild<PreviewWindow*>() == nullptr);

    h.tray().Nahled1()->trigger();
    QVERIFY(form->findChild<PreviewWindow*>() != nullptr);
    QCOMPARE(form->findChild<PreviewWindow*>()->model().rowCount(), 0);
  }

  void aPreviewOfAHundredThousandEntriesSortsAtOnce() {
    std::vector<PairPreview> pairs(1);
    for (int i = 0; i < 100000; ++i) {
      pairs[0].plan.add(i % 3 == 0 ? Change::Deleted : Change::New, false, (i * 7919) % 100003,
                        "/data/f" + std::to_string(i));
    }
    PreviewWindow window(std::move(pairs), nullptr);
    QElapsedTimer clock;
    clock.start();
    window.model().sort(PreviewModel::Size, Qt::DescendingOrder);
    window.show();
    QCoreApplication::processEvents();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window.model().rowCount(), 100000);
    QCOMPARE(window.model().entryAt(0).size, 100002);
    QVERIFY(window.model().entryAt(1).size >= window.model().entryAt(2).size);
  }

  void zalohujIhnedAsksBeforeTakingMostOfABackup() {
    start();
    addPairWithOneFile();
    for (int i = 0; i < 25; ++i) tree->file("backup/A/old" + std::to_string(i), "x");
    click("BitBtn2");
    QCOMPARE(dialogs.massDeletionQuestions,
             QStringList{QString::fromStdString("Záloha smaže 25 z 25 souborů v " +
                                                tree->path("backup/A") + ". Pokračovat?")});
    QVERIFY(tree->exists("backup/A/old0"));
  }

  void ticksUnderAStartUpErrorBoxLeaveTheHideToTheFirstTickAfterShowing() {
    trayAvailable = true;
    h.start("NO,HEADER\r\n", [&] {
      dialogs.whileErrorShown = [&] {
        form->Timer1Timer();
        form->Timer1Timer();
      };
    });
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(form->isVisible());
    form->Timer1Timer();
    QVERIFY(!form->isVisible());
  }

  void anEndAskedForUnderABoxTakesEffectOnceTheBoxIsClosed() {
    start();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tavro"), QStringLiteral("x"),
                    QMessageBox::Ok, form.get());
    bool endedUnderTheBox = true;
    QTimer::singleShot(0, form.get(), [&] {
      form->requestEnd();
      endedUnderTheBox = form->isEnding();
      box.accept();
    });
    box.exec();
    QVERIFY(!endedUnderTheBox);
    form->Timer1Timer();  // the next tick, with the box gone
    QVERIFY(form->isEnding());
  }

  void aBadPairTableIsShownAndTheRestOfStartUpIsSkipped() {
    start("\"SRC\",TRG,STAV\r\n");
    QCOMPARE(dialogs.errors,
             QStringList{QStringLiteral("Tavro.csv: ProcessCsvHeaderRow: Field \"SRC\" found in "
                                        "file, but not in field definitions.")});
    QVERIFY(!form->table().isOpen());
    click("BitBtn2");  // the run meets the closed table: an error, no log entry
    QCOMPARE(dialogs.errors.size(), 2);
    QVERIFY(!tree->exists("Tavro.log"));
  }

  void aFailedWriteOfThePairTableAtTheEndIsShown() {
    start();
    form->table().append();
    form->table().setFieldText("Src", "/data");
    form->table().post();
    faulty->failUnder(testkit::FaultOp::Create, tree->root(), EROFS);
    form->FormDestroy();
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.errors.front().startsWith(QStringLiteral("Cannot create file \"")));
  }

  void startAtLoginWritesAndRemovesTheAutostartEntry() {
    start();
    auto* box = find<QCheckBox>("CHBAutostart");
    QVERIFY(!box->isChecked());
    h.setSettingsPanelOpen(true);
    box->click();
    const QString entry = QString::fromStdString(tree->path("autostart/tavro.desktop"));
    const std::string text = tree->read("autostart/tavro.desktop");
    for (const std::string& line :
         {std::string("[Desktop Entry]\n"), std::string("Type=Application\n"),
          std::string("Exec=\"/opt/Tavro 1/tavro\"\n"), "Path=" + tree->path("pairs") + "\n"}) {
      QVERIFY2(text.find(line) != std::string::npos, line.c_str());
    }
    QVERIFY(!tree->read("Tavro.ini").empty());
    QVERIFY(tree->read("Tavro.ini").find("autostart") == std::string::npos);

    h.restart();  // the state is read from the entry
    QVERIFY(find<QCheckBox>("CHBAutostart")->isChecked());
    find<QCheckBox>("CHBAutostart")->click();
    QVERIFY(!QFileInfo::exists(entry));
  }

  void theLogOpensOnlyWhenItExists() {
    start();
    click("JvgExtSpeedButton1");
    QVERIFY(opened.isEmpty());
    QCOMPARE(dialogs.warnings, QStringList{QString::fromUtf8(kNoLogYet)});
    click("BitBtn2");
    click("JvgExtSpeedButton1");
    QCOMPARE(opened, QStringList{QString::fromStdString(tree->path("Tavro.log"))});
    QVERIFY(dialogs.errors.isEmpty());
    h.canOpen = false;  // no editor at all: the user is told
    click("JvgExtSpeedButton1");
    QCOMPARE(dialogs.errors.size(), 1);
    QVERIFY(dialogs.errors.front().startsWith(QStringLiteral("Přehled nelze zobrazit")));
  }

  void aTermSignalAsksForTheOrderlyEnd() {
    SignalBridge bridge;
    QSignalSpy spy(&bridge, &SignalBridge::endRequested);
    std::raise(SIGTERM);
    QTRY_COMPARE(spy.count(), 1);
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::MainWindowTest)
#include "main_window_test.moc"
