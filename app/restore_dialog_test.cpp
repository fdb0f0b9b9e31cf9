#include "app/restore_dialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "engine/pair_mirror.h"
#include "platform/program_paths.h"
#include "testing/form_harness.h"
#include "testing/recording_display.h"

namespace tavro {

// "Obnovit" on the window, over a backup made by real runs on three days:
// a.txt changed each day, gone.txt deleted on the second.
class RestoreDialogTest : public QObject {
  Q_OBJECT

  testkit::FormHarness h;

  void backedUpOnThreeDays() {
    const std::time_t day1 = 1765000000;
    auto write = [this](const std::string& name, const std::string& text, std::time_t when) {
      h.tree->file("data/docs/" + name, text);
      h.tree->setTime("data/docs/" + name, when);
    };
    PairOptions options;
    options.run.historyDays = 3650;
    options.run.readAhead = readAheadFromEnvironment();
    testkit::RecordingDisplay display;
    auto run = [&](std::time_t day) {
      options.runStart = localTimeOf(day + 3600);
      mirrorPair(h.real, display, h.tree->path("data/docs"), h.tree->path("backup"), options);
    };
    h.tree->folder("backup");
    write("a.txt", "version 1", day1);
    write("gone.txt", "gone", day1);
    run(day1);
    write("a.txt", "version two", day1 + 86400);
    h.tree->remove("data/docs/gone.txt");
    run(day1 + 86400);
    write("a.txt", "version three!", day1 + 2 * 86400);
    run(day1 + 2 * 86400);
  }
  // The window over that backup as its only pair; "Obnovit do…" chooses
  // the folder "elsewhere".
  void startOverThreeDays() {
    h.folderAnswers = [this](const QString&, const QString&, const QString&) {
      return std::optional<QString>(QString::fromStdString(h.tree->folder("elsewhere")));
    };
    h.start("", [this] {
      backedUpOnThreeDays();
      h.tree->file("Tavro.csv", "SRC,TRG,STAV\r\n" + h.tree->path("data/docs") + "," +
                                    h.tree->path("backup") + ",OK\r\n");
    });
  }
  // Runs `steps` on the dialog once "Obnovit" has opened it, then closes it.
  void withDialog(const std::function<void(RestoreDialog&)>& steps) {
    QTimer::singleShot(0, h.form.get(), [steps] {
      auto* dialog = qobject_cast<RestoreDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      steps(*dialog);
      dialog->accept();
    });
    h.click("BBObnovit");
  }
  static QTreeWidgetItem* item(RestoreDialog& dialog, const QString& name) {
    const auto found =
        dialog.findChild<QTreeWidget*>("TVFiles")->findItems(name, Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }

 private slots:
  void aFileDeletedAndAFileChangedComeBackByClicks() {
    startOverThreeDays();
    withDialog([this](RestoreDialog& dialog) {
      auto* points = dialog.findChild<QListWidget*>("LBPoints");
      QCOMPARE(points->count(), 3);
      QCOMPARE(points->item(0)->text(), QStringLiteral("Aktuální záloha"));
      QVERIFY(item(dialog, QStringLiteral("gone.txt")) == nullptr);
      points->setCurrentRow(2);  // before day 2's run: gone.txt is there
      dialog.findChild<QLineEdit*>("EFilter")->setText(QStringLiteral("GON"));
      QTreeWidgetItem* gone = item(dialog, QStringLiteral("gone.txt"));
      QVERIFY(gone != nullptr);
      QVERIFY(item(dialog, QStringLiteral("a.txt")) == nullptr);
      gone->setSelected(true);
      if (const QByteArray dir = qgetenv("TAVRO_ARTIFACTS"); !dir.isEmpty()) {
        dialog.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/restore-dialog.png"));
      }
      dialog.findChild<QPushButton*>("BBInPlace")->click();  // nothing to replace: no question
      QCOMPARE(h.tree->read("data/docs/gone.txt"), std::string("gone"));
      QCOMPARE(h.dialogs.informations.size(), 1);
      QVERIFY(h.dialogs.informations[0].startsWith(QStringLiteral("Obnoveno položek: 1,")));

      // a.txt as before day 3: the question first, and No changes nothing.
      points->setCurrentRow(1);
      dialog.findChild<QLineEdit*>("EFilter")->clear();
      item(dialog, QStringLiteral("a.txt"))->setSelected(true);
      h.dialogs.answerYes = false;
      dialog.findChild<QPushButton*>("BBInPlace")->click();
      QCOMPARE(h.dialogs.massDeletionQuestions.size(), 1);
      QVERIFY(h.dialogs.massDeletionQuestions[0].contains(
          QString::fromStdString(h.tree->path("data/docs/a.txt"))));
      QCOMPARE(h.tree->listing("data/docs"), (std::vector<std::string>{"a.txt", "gone.txt"}));
      QCOMPARE(h.tree->read("data/docs/a.txt"), std::string("version three!"));
      // Into another folder, no question.
      dialog.findChild<QPushButton*>("BBElsewhere")->click();
      QCOMPARE(h.tree->read("elsewhere/a.txt"), std::string("version two"));
      QCOMPARE(h.dialogs.informations.size(), 2);
    });
    QVERIFY(h.dialogs.errors.isEmpty());
  }

  // "Přerušit" while it copies stops the restore before the next file; Esc
  // (or the end of the session) does too, and the dialog goes after it.
  void aRestoreStopsOnPrerusitAndOnEsc() {
    startOverThreeDays();
    withDialog([this](RestoreDialog& dialog) {
      auto* stop = dialog.findChild<QPushButton*>("BBStop");
      QVERIFY(!stop->isVisible());
      QTimer::singleShot(0, &dialog, [&dialog, stop] {
        QVERIFY(stop->isVisible());
        QVERIFY(!dialog.findChild<QPushButton*>("BBClose")->isEnabled());
        QVERIFY(!dialog.findChild<QTreeWidget*>("TVFiles")->isEnabled());
        if (const QByteArray dir = qgetenv("TAVRO_ARTIFACTS"); !dir.isEmpty()) {
          dialog.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/restore-running.png"));
        }
        stop->click();
      });
      dialog.findChild<QPushButton*>("BBElsewhere")->click();
      QCOMPARE(h.dialogs.warnings.size(), 1);
      QVERIFY(h.dialogs.warnings[0].startsWith(
          QStringLiteral("Obnova přerušena. Obnoveno položek: 0,")));
      QVERIFY(h.tree->listing("elsewhere").empty());
      QVERIFY(dialog.isVisible() && !stop->isVisible());

      QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
      dialog.findChild<QPushButton*>("BBElsewhere")->click();
      QCOMPARE(h.dialogs.warnings.size(), 2);
      QVERIFY(h.tree->listing("elsewhere").empty());
      QVERIFY(!dialog.isVisible());
    });
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::RestoreDialogTest)
#include "restore_dialog_test.moc"
