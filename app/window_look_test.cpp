// How the window looks and is reached: texts whole and readable, the
// waiting state, the tray, the keyboard, the settings panel.
#include "app/main_window.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QTableView>
#include <QtTest>

#include "testing/form_harness.h"

namespace tavro {
class WindowLookTest : public testkit::FormTest {
  Q_OBJECT

 private slots:
  void init() { resetHarness(); }
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
      } else if (qobject_cast<QPushButton*>(w) != nullptr &&
                 !qobject_cast<QPushButton*>(w)->isFlat()) {
        text = p.color(QPalette::ButtonText), ground = p.color(QPalette::Button);
      } else if (qobject_cast<QLabel*>(w) != nullptr ||
                 qobject_cast<QAbstractButton*>(w) != nullptr ||
                 qobject_cast<QGroupBox*>(w) != nullptr) {
        // Drawn on the nearest ancestor that fills its background.
        const QWidget* filled = w;
        while (filled != form.get() && !filled->autoFillBackground())
          filled = filled->parentWidget();
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
          "JvgExtSpeedButton1", "BBObnovit", "JvRollOut1Header", "cxTimeEdit1", "JVCHB1",
          "cxTextEdit1", "cxTextEdit2", "JvCheckBox1", "CHBAutostart", "JvXPButton1"}) {
      QVERIFY2(reached.contains(QString::fromLatin1(control)), control);
    }

    // Every button has an access key of a letter of its own caption, none
    // twice; "Obnovit" came last, when every letter of it was taken.
    QSet<QChar> keys;
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
      const QString caption = b->text();
      if (!caption.contains(QRegularExpression(QStringLiteral("[[:alpha:]]")))) continue;
      if (b->objectName() == QLatin1String("BBObnovit")) continue;
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
};
}  // namespace tavro

QTEST_MAIN(tavro::WindowLookTest)
#include "window_look_test.moc"
