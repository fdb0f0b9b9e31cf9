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
#include <QRadioButton>
#include <QPushButton>
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
class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  testkit::FormHarness h;
  std::unique_ptr<MainWindow>& form = h.form;
  std::unique_ptr<testkit::TempTree>& tree = h.tree;
  testkit::FakeDialogs& dialogs = h.dialogs;
  testkit::FaultyFileSystem* faulty = &h.faulty;
  std::vector<std::string>& events = h.events;
  QStringList& opened = h.opened;
  bool& trayAvailable = h.trayAvailable;

  void start(const std::string& csv = "") { h.start(csv); }
  template <class T>
  T* find(const char* name) {
    return h.find<T>(name);
  }
  QString labelText(const char* name) { return h.labelText(name); }
  void click(const char* name) { h.click(name); }
  // The pair `source` -> backup, both relative to the test's folder.
  void addPair(const std::string& source) {
    form->table().append();
    form->table().setFieldText("Src", tree->path(source));
    form->table().setFieldText("Trg", tree->path("backup"));
    form->table().post();
  }
  // The pair data/A -> backup, with one file in its source.
  // The WCAG contrast ratio of two colours.
  static double contrast(const QColor& one, const QColor& other) {
    auto luminance = [](const QColor& c) {
      auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
      };
      return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
             0.0722 * channel(c.blueF());
    };
    const double a = luminance(one), b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
  }

  void addPairWithOneFile() {
    tree->file("data/A/a.txt", "a");
    tree->folder("backup");
    addPair("data/A");
  }

 private slots:
  void init() {
    faulty->clear();
    trayAvailable = false;
  }
  void cleanup() { form.reset(); }

  void everyTextIsShownWhole() {
    start();
    h.setSettingsPanelOpen(true);
    // The longest texts the labels take at run time; paths are left out.
    const std::vector<std::pair<const char*, const char*>> longest = {
        {"Label6", "Záloha provedena s chybami ..."},
        {"Label3", "09.12.2026 12:47"},
        {"Label4", "09.12.2026"},
        {"Label5", "12:47:07"},
        {"Label15", "2000000"},
        {"Label16", "2000000"}};
    for (const auto& [name, text] : longest) find<QLabel>(name)->setText(QString::fromUtf8(text));
    for (const char* shown : {"Lmin", "Lm", "LKaz", "LVarCas"}) find<QLabel>(shown)->show();
    const QStringList paths = {"Label7", "Label8", "Label18", "LPaths"};
    QStringList cut;
    auto check = [&cut](bool whole, const QString& what, int needed, int room) {
      if (!whole) cut << QStringLiteral("%1: %2 px in %3").arg(what).arg(needed).arg(room);
    };
    for (QLabel* l : form->findChildren<QLabel*>()) {
      if (paths.contains(l->objectName()) || l->text().isEmpty()) continue;
      const int needed = l->fontMetrics().horizontalAdvance(l->text());
      check(needed <= l->contentsRect().width() &&
                l->fontMetrics().height() <= l->contentsRect().height(),
            l->objectName() + " " + l->text(), needed, l->contentsRect().width());
    }
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
      check(b->sizeHint().width() <= b->width() && b->fontMetrics().height() < b->height(),
            b->objectName() + " " + b->text(), b->sizeHint().width(), b->width());
    }
    for (QGroupBox* g : form->findChildren<QGroupBox*>()) {
      const int needed = g->fontMetrics().horizontalAdvance(g->title()) + 16;
      check(needed <= g->width(), g->objectName(), needed, g->width());
    }
    auto* grid = find<QTableView>("DBGrid1");
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (const char* state : {"Neprovedeno", "Chyba", "STAV"}) {
      const int needed = grid->fontMetrics().horizontalAdvance(QString::fromUtf8(state)) + margin;
      check(needed <= grid->columnWidth(2), QString::fromUtf8(state), needed, grid->columnWidth(2));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
  }

  void startUpShowsTheWaitingTextsAndHidesTheProgress() {
    start();
    QCOMPARE(form->windowTitle(), QStringLiteral("Tavro"));
    QCOMPARE(form->size(), QSize(844, 518));
    QCOMPARE(labelText("Label6"), QStringLiteral("Čeká se na spuštění ..."));
    QCOMPARE(h.tray().hint(), QStringLiteral("Záloha zatím neprovedena ..."));
    QCOMPARE(labelText("Label3"), QStringLiteral("neprovedeno"));
    for (const char* hidden : {"Label14", "Label17", "Label19"}) {
      QVERIFY2(!find<QLabel>(hidden)->isVisible(), hidden);
    }
    QVERIFY(!find<QProgressBar>("G1")->isVisible());
    QVERIFY(!find<QProgressBar>("G2")->isVisible());
    QCOMPARE(find<QLineEdit>("ECas")->text(), QStringLiteral("00:00"));
    QVERIFY(QFileInfo::exists(QString::fromStdString(tree->path("Tavro.ini"))));
    QVERIFY(dialogs.errors.isEmpty());
    QVERIFY(!h.settingsPanelOpen());
  }

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
    h.start(
        "SRC,TRG,STAV\r\n",
        [&] {
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

  void theTrayHidesAndRestoresOnlyWhenThereIsATray() {
    start();
    click("BitBtn1");  // "Schovat" without a tray: the window must stay reachable
    click("BitBtn1");
    QVERIFY(form->isVisible());
    QCOMPARE(dialogs.warnings, QStringList{QString::fromUtf8(kNoTray)});  // once
    form->Timer1Timer();  // the first tick hides only into a tray
    QVERIFY(form->isVisible());

    trayAvailable = true;
    click("BitBtn1");
    QVERIFY(!form->isVisible());
    emit h.tray().icon().activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(form->isVisible());
    click("BitBtn1");
    emit h.tray().icon().activated(QSystemTrayIcon::Trigger);  // a single click
    QVERIFY(form->isVisible());
    h.tray().Zobrazit1()->trigger();
    QVERIFY(form->isVisible());
  }

  void theFirstTickHidesTheWindowIntoATray() {
    trayAvailable = true;
    start("SRC,TRG,STAV\r\n/a,/b,\r\n");
    form->Timer1Timer();
    QVERIFY(!form->isVisible());
    QCOMPARE(labelText("Label5"), QStringLiteral("10:00:30"));
    h.tray().RestoreFromTray();
    form->Timer1Timer();
    QVERIFY2(form->isVisible(), "only the first tick hides");
  }

  void aFirstStartWithoutPairsStaysShownAndSaysWhatToDo() {
    trayAvailable = true;
    start();
    form->Timer1Timer();
    QVERIFY(form->isVisible());
    QCOMPARE(h.grid().emptyHint(), QString::fromUtf8(kFirstPairHint));
    h.tray().Oprogramu1()->trigger();
    QCOMPARE(dialogs.abouts.size(), 1);
    const QString about = dialogs.abouts.front();
    QVERIFY(about.startsWith(QStringLiteral("Tavro " TAVRO_VERSION "\n")));
    for (const char* file : {"Tavro.ini", "Tavro.log", "Tavro.csv"}) {
      QVERIFY2(about.contains(QString::fromStdString(tree->path(file))), file);
    }
  }

  void aDarkThemeLeavesEveryTextReadable() {
    const QPalette saved = QApplication::palette();
    QPalette dark;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(40, 40, 40)},
                                {QPalette::Base, QColor(25, 25, 25)},
                                {QPalette::Button, QColor(50, 50, 50)},
                                {QPalette::WindowText, QColor(235, 235, 235)},
                                {QPalette::Text, QColor(235, 235, 235)},
                                {QPalette::ButtonText, QColor(235, 235, 235)}}) {
      dark.setColor(role, colour);
    }
    QApplication::setPalette(dark);
    start();
    addPairWithOneFile();
    click("BitBtn2");
    h.setSettingsPanelOpen(true);
    QStringList unreadable;
    for (QWidget* w : form->findChildren<QWidget*>()) {
      // The status caption's colours are its own under every theme.
      if (!w->isVisible() || w->objectName() == QStringLiteral("Label6")) continue;
      const QPalette p = w->palette();
      QColor text, ground;
      if (qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QAbstractSpinBox*>(w) != nullptr ||
          qobject_cast<QTableView*>(w) != nullptr) {
        text = p.color(QPalette::Text), ground = p.color(QPalette::Base);
      } else if (qobject_cast<QPushButton*>(w) != nullptr && !qobject_cast<QPushButton*>(w)->isFlat()) {
        text = p.color(QPalette::ButtonText), ground = p.color(QPalette::Button);
      } else if (qobject_cast<QLabel*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr ||
                 qobject_cast<QGroupBox*>(w) != nullptr) {
        // Drawn on the nearest ancestor that fills its background.
        const QWidget* filled = w;
        while (filled != form.get() && !filled->autoFillBackground()) filled = filled->parentWidget();
        text = p.color(QPalette::WindowText), ground = filled->palette().color(QPalette::Window);
      } else {
        continue;
      }
      if (contrast(text, ground) < 4.5) unreadable << w->objectName();
    }
    if (const QByteArray dir = qgetenv("TAVRO_ARTIFACTS"); !dir.isEmpty()) {
      QDir().mkpath(QString::fromLocal8Bit(dir));
      form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/dark-theme.png"));
    }
    QApplication::setPalette(saved);
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
  }

  void theHoverTextKeepsItsFirst127Characters() {
    start();
    h.tray().SetTrayHint(QString(200, QChar('x')));
    QCOMPARE(h.tray().hint().size(), 127);
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

  void everyControlIsReachedWithTheKeyboard() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n");
    h.setSettingsPanelOpen(true);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto* grid = find<QTableView>("DBGrid1");
    find<QPushButton>("BitBtn2")->setFocus();
    QSet<QString> reached;
    for (int i = 0; i < 80; ++i) {
      QWidget* focus = QApplication::focusWidget();
      QVERIFY(focus != nullptr);
      const bool inGrid = focus == grid || grid->isAncestorOf(focus);
      reached << (inGrid ? grid->objectName() : focus->objectName());
      // Tab moves between the grid's cells; Ctrl+Tab leaves the grid.
      QTest::keyClick(focus, Qt::Key_Tab, inGrid ? Qt::ControlModifier : Qt::NoModifier);
    }
    for (const char* control :
         {"BitBtn1", "BitBtn2", "BitBtn3", "PBEditSrc", "PBEditTrg", "BitBtn4", "DBGrid1", "LB2",
          "JvgExtSpeedButton1", "JvRollOut1Header", "cxTimeEdit1", "JVCHB1", "cxTextEdit1",
          "cxTextEdit2", "JvCheckBox1", "CHBAutostart", "JvXPButton1"}) {
      QVERIFY2(reached.contains(QString::fromLatin1(control)), control);
    }

    // Every button has an access key of a letter of its own caption, none twice.
    QSet<QChar> keys;
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
      const QString caption = b->text();
      if (!caption.contains(QRegularExpression(QStringLiteral("[[:alpha:]]")))) continue;
      const int amp = caption.indexOf('&');
      QVERIFY2(amp >= 0 && amp + 1 < caption.size() && caption.count('&') == 1,
               qPrintable(caption));
      const QChar key = caption.at(amp + 1).toLower();
      QVERIFY2(!keys.contains(key), qPrintable(caption));
      keys << key;
    }
  }

  void theSettingsPanelSaysWhereTheFilesAre() {
    start();
    const QString shown = labelText("LPaths");
    for (const char* file : {"Tavro.ini", "Tavro.log", "Tavro.csv"}) {
      QVERIFY2(
          shown.contains(QString::fromStdString(tree->path(file))) ||
              find<QLabel>("LPaths")->toolTip().contains(QString::fromStdString(tree->path(file))),
          file);
    }
  }

  void theSettingsPanelOpensClosesAndSaves() {
    start();
    click("JvRollOut1Header");
    QVERIFY(h.settingsPanelOpen());
    click("JvRollOut1Header");
    QVERIFY(!h.settingsPanelOpen());
    click("JvRollOut1Header");
    find<QLineEdit>("cxTextEdit2")->setText(QStringLiteral("45"));
    find<QCheckBox>("JVCHB1")->click();
    find<QButtonGroup>("RG2")->button(1)->click();
    click("JvXPButton1");
    QVERIFY(!h.settingsPanelOpen());
    QVERIFY(tree->read("Tavro.ini").find("TNTmin=45") != std::string::npos);
    QCOMPARE(find<QLineEdit>("EVarCas")->text(), QStringLiteral("10:45"));
    QVERIFY(find<QLineEdit>("EVarCas")->isVisible());
    QVERIFY(!find<QLineEdit>("ECas")->isVisible());

    // Letters never get into a minutes box; an emptied one is not saved.
    click("JvRollOut1Header");
    auto* minutes = find<QLineEdit>("cxTextEdit1");
    minutes->setFocus();
    QTest::keyClicks(minutes, QStringLiteral("abc-5"));
    QCOMPARE(minutes->text(), QStringLiteral("105"));
    minutes->selectAll();
    QTest::keyClick(minutes, Qt::Key_Delete);
    const std::string saved = tree->read("Tavro.ini");
    click("JvXPButton1");
    QCOMPARE(dialogs.errors, QStringList{QString::fromUtf8(kMinutesNotANumber)});
    QVERIFY(h.settingsPanelOpen());
    QCOMPARE(tree->read("Tavro.ini"), saved);
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
