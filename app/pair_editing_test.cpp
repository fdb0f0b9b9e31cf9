#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <optional>

#include <QMessageBox>

#include "app/dialogs.h"
#include "app/pair_grid_view.h"
#include "testing/form_harness.h"

namespace tavro {

class PairEditingTest : public QObject {
  Q_OBJECT

 private:
  struct Shown {
    QString caption;
    QString label;
    QString startFolder;
  };

  // Starts the window; the folder dialog answers from `answers` (nullopt for
  // Cancel) and records how it was shown.
  void start(const std::string& csv = "") {
    shown.clear();
    answers.clear();
    h.folderAnswers = [this](const QString& caption, const QString& label,
                             const QString& startFolder) {
      shown.push_back({caption, label, startFolder});
      if (answers.empty()) qFatal("the folder dialog was not expected");
      const auto answer = answers.front();
      answers.pop_front();
      return answer;
    };
    h.start(csv);
  }
  QAbstractItemModel* model() { return h.grid().model(); }
  QString cell(int row, int column) { return model()->index(row, column).data().toString(); }
  std::string csv() { return h.tree->read("Tavro.csv"); }
  void add(const QString& source, const QString& target) {
    answers = {source, target};
    h.click("BitBtn3");
  }
  // Types into the grid's cell as a user would, and commits with Enter.
  void type(int row, int column, const QString& text) {
    PairGridView& grid = h.grid();
    grid.setFocus();
    grid.setCurrentIndex(model()->index(row, column));
    grid.edit(model()->index(row, column));
    QLineEdit* editor = nullptr;
    for (auto* candidate : grid.viewport()->findChildren<QLineEdit*>()) {
      if (candidate->isVisible()) editor = candidate;
    }
    QVERIFY2(editor != nullptr, "no cell editor open");
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits through a queued call
  }

  // The open cell editor of the grid, if any.
  QLineEdit* openEditor() {
    for (auto* candidate : h.grid().viewport()->findChildren<QLineEdit*>()) {
      if (candidate->isVisible()) return candidate;
    }
    return nullptr;
  }
  // A key as the user presses it: to the open cell editor, else the grid.
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* editor = openEditor();
    QTest::keyClick(editor != nullptr ? editor : &h.grid(), key, modifiers);
    QCoreApplication::processEvents();
  }
  // The real delete question, answered with OK or Cancel a moment after it
  // took the focus, as a user answers.
  void askForRealAnswering(bool ok) {
    h.grid().setConfirmDelete([this, ok] {
      ++realQuestions;
      QTimer::singleShot(50, [ok] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
      });
      return MessageBoxDialogs().confirmDelete(&h.grid());
    });
  }

  testkit::FormHarness h;
  int realQuestions = 0;
  std::vector<Shown> shown;
  std::deque<std::optional<QString>> answers;

 private slots:
  void cleanup() { h.form.reset(); }

  void addingAsksForSourceThenTargetAndWritesTheFile() {
    start();
    add("/data/Dokumenty", "/zaloha");
    QCOMPARE(shown.size(), 2u);
    QCOMPARE(shown[0].caption, QStringLiteral("Vyberte adresář k záloze"));
    QCOMPARE(shown[0].label, QStringLiteral("1. Vyberte adresář, který zálohovat."));
    QCOMPARE(shown[0].startFolder, QDir::homePath());
    QCOMPARE(shown[1].caption, QStringLiteral("Vyberte adresář kam zálohovat."));
    QCOMPARE(shown[1].label, QStringLiteral("2. Vyberte adresář kam zálohovat."));
    QCOMPARE(shown[1].startFolder, QStringLiteral("/data/Dokumenty"));
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/data/Dokumenty,/zaloha,Neprovedeno\r\n"));
    QCOMPARE(cell(0, 2), QStringLiteral("Neprovedeno"));
    QCOMPARE(h.grid().currentIndex().row(), 0);
  }

  void theWorkedExampleIsBuiltThroughTheCommandsAndTheGrid() {
    start();
    add("C:\\Dokumenty", "E:\\Zaloha");
    add("C:\\Foto, 2006", "E:\\Zaloha");
    QCOMPARE(cell(0, 0), QStringLiteral("C:\\Foto, 2006"));
    type(1, 2, QStringLiteral("chyba \"x\""));
    h.grid().setCurrentIndex(model()->index(0, 0));  // leaving the row stores it
    // in the file at once, before any end of the program.
    QVERIFY(!h.form->table().changed());
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n"
                                "\"C:\\Foto, 2006\",E:\\Zaloha,Neprovedeno\r\n"
                                "C:\\Dokumenty,E:\\Zaloha,\"chyba \"\"x\"\"\"\r\n"));
    h.form->FormDestroy();
    QVERIFY(h.dialogs.errors.isEmpty());
  }

  void changingOnAnEmptyTableAddsAHalfPair() {
    start();
    answers = {QStringLiteral("/only/source")};
    h.click("PBEditSrc");
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/only/source,,\r\n"));
    answers = {QStringLiteral("/new/target")};
    h.click("PBEditTrg");
    QCOMPARE(shown.back().startFolder,
             QStringLiteral("/only/source"));  // "the dialog opens where it was last confirmed"
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/only/source,/new/target,\r\n"));
  }

  void removingAsksNothingAndAnEmptyTableStaysAsItIs() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
    h.click("BitBtn4");
    QCOMPARE(h.dialogs.deleteQuestions, 0);
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/c,/d,OK\r\n"));
    h.click("BitBtn4");
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n"));
    h.tree->setTime("Tavro.csv", 1000000000);
    h.click("BitBtn4");
    QCOMPARE(h.tree->time("Tavro.csv").tv_sec, 1000000000L);  // "nothing to write"
    QVERIFY(h.dialogs.errors.isEmpty());
  }

  void ctrlDeleteRemovesARowAfterTheQuestion() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
    PairGridView& grid = h.grid();
    grid.setCurrentIndex(model()->index(1, 0));
    h.dialogs.answerYes = false;
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(h.dialogs.deleteQuestions, 1);
    QCOMPARE(model()->rowCount(), 2);
    h.dialogs.answerYes = true;
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(cell(0, 0), QStringLiteral("/a"));
    // Removed from the file at once: a session that ends now loses nothing.
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/a,/b,OK\r\n"));
  }

  void ctrlDeleteActsOnTheRowItAsksAbout() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n/e,/f,OK\r\n");
    PairGridView& grid = h.grid();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    grid.setFocus();
    // A new row before /c: OK drops the new row and nothing else.
    askForRealAnswering(true);
    grid.setCurrentIndex(model()->index(1, 0));
    press(Qt::Key_Escape);
    press(Qt::Key_Insert);
    QCOMPARE(QApplication::focusWidget(), &grid);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(realQuestions, 1);
    QCOMPARE(h.form->table().recordCount(), 3);
    QCOMPARE(cell(1, 0), QStringLiteral("/c"));

    // In an open cell editor Ctrl+Delete asks too and never blanks the cell.
    askForRealAnswering(false);
    grid.edit(model()->index(1, 0));
    QVERIFY(openEditor() != nullptr);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(realQuestions, 2);
    grid.setCurrentIndex(model()->index(0, 0));
    QCOMPARE(cell(1, 0), QStringLiteral("/c"));
    askForRealAnswering(true);
    grid.setCurrentIndex(model()->index(1, 0));
    grid.edit(model()->index(1, 0));
    QVERIFY(openEditor() != nullptr);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(h.form->table().recordCount(), 2);
    QCOMPARE(cell(1, 0), QStringLiteral("/e"));
  }

  void escapeAfterTabDropsTheRowsTyping() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
    h.form->activateWindow();
    type(1, 0, QStringLiteral("XYZ"));
    QCOMPARE(cell(1, 0), QStringLiteral("XYZ"));
    press(Qt::Key_Tab);
    QVERIFY(openEditor() != nullptr);
    press(Qt::Key_Escape);  // nothing typed in this cell: the row's changes go
    QCOMPARE(cell(1, 0), QStringLiteral("/c"));
  }

  void insertDownAndEscapeOpenAndDropRows() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
    PairGridView& grid = h.grid();
    grid.setCurrentIndex(model()->index(1, 0));
    QTest::keyClick(&grid, Qt::Key_Insert);
    QCOMPARE(model()->rowCount(), 3);
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(cell(1, 0), QString());
    grid.setCurrentIndex(model()->index(0, 0));  // left untouched: dropped
    QCOMPARE(model()->rowCount(), 2);
    QCOMPARE(cell(1, 0), QStringLiteral("/c"));

    grid.setCurrentIndex(model()->index(1, 0));
    QTest::keyClick(&grid, Qt::Key_Down);  // on the last row: a new row after it
    QCOMPARE(model()->rowCount(), 3);
    type(2, 0, QStringLiteral("/e"));
    grid.setCurrentIndex(model()->index(0, 0));
    QCOMPARE(h.form->table().recordCount(), 3);
    QCOMPARE(cell(2, 0), QStringLiteral("/e"));

    type(0, 1, QStringLiteral("/changed"));
    QCOMPARE(cell(0, 1), QStringLiteral("/changed"));
    QTest::keyClick(&grid, Qt::Key_Escape);  // no typing pending: the row's changes go
    QCOMPARE(cell(0, 1), QStringLiteral("/b"));
  }

  void cancelInTheFolderDialogChangesNothing() {
    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n");
    const std::string before = csv();
    answers = {std::nullopt};
    h.click("BitBtn3");
    QCOMPARE(shown.size(), 1u);  // "no target dialog after a cancelled source"
    answers = {QStringLiteral("/src"), std::nullopt};
    h.click("BitBtn3");
    answers = {std::nullopt};
    h.click("PBEditSrc");
    answers = {std::nullopt};
    h.click("PBEditTrg");
    QCOMPARE(h.form->table().recordCount(), 1);
    QCOMPARE(cell(0, 0), QStringLiteral("/a"));
    QCOMPARE(csv(), before);
    QVERIFY(!h.form->table().changed());
  }

  void pairEditingIsOffWhileARunIsInProgress() {
    start();
    h.tree->file("data/A/a.txt", "a");
    add(QString::fromStdString(h.tree->path("data/A")),
        QString::fromStdString(h.tree->path("backup")));
    bool buttonEnabled = true;
    bool cellEditable = true;
    QTimer::singleShot(0, h.form.get(), [&] {
      buttonEnabled = h.find<QPushButton>("BitBtn3")->isEnabled() ||
                      h.find<QPushButton>("BBObnovit")->isEnabled();
      cellEditable = model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable;
    });
    h.click("BitBtn2");
    QVERIFY(!buttonEnabled);
    QVERIFY(!cellEditable);
    QVERIFY(h.find<QPushButton>("BitBtn3")->isEnabled());
    QVERIFY(model()->flags(model()->index(0, 0)) & Qt::ItemIsEditable);
  }

  void aFailingTableOperationIsShownAndAFailedWriteKeepsTheChange() {
    start("\"SRC\",TRG,STAV\r\n");  // refused at start-up: the table stays closed
    h.dialogs.errors.clear();
    add("/a", "/b");
    QCOMPARE(shown.size(), 2u);  // the dialogs come first
    QCOMPARE(
        h.dialogs.errors,
        QStringList{QStringLiteral("jcsv1: Cannot perform this operation on a closed dataset.")});

    start("SRC,TRG,STAV\r\n/a,/b,OK\r\n");
    h.faulty.failUnder(testkit::FaultOp::Create, h.tree->root(), ENOSPC);
    add("/c", "/d");
    QCOMPARE(h.dialogs.errors.size(), 1);
    QVERIFY(h.dialogs.errors[0].startsWith(QStringLiteral("Cannot create file \"")));
    QCOMPARE(h.form->table().recordCount(), 2);
    QVERIFY(h.form->table().changed());
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/a,/b,OK\r\n"));
    h.faulty.clear();
    answers = {QStringLiteral("/e")};
    h.click("PBEditSrc");  // the next command's write takes the earlier change along
    QCOMPARE(csv(), std::string("SRC,TRG,STAV\r\n/e,/d,Neprovedeno\r\n/a,/b,OK\r\n"));
    QVERIFY(!h.form->table().changed());
  }

  void aCollidingPairIsAddedWithAWarningNamingTheOther() {
    start();
    const QString target = QString::fromStdString(h.tree->path("zaloha"));
    add("/x/docs", target);
    QVERIFY(h.dialogs.warnings.isEmpty());
    add("/y/docs", target);
    QCOMPARE(h.dialogs.warnings.size(), 1);
    QVERIFY(h.dialogs.warnings[0].contains(QStringLiteral("/x/docs -> ") + target));
    QCOMPARE(h.form->table().recordCount(), 2);

    const QString source = QString::fromStdString(h.tree->path("src"));
    add(source, source + "/backup");  // the target inside its own source
    QCOMPARE(h.dialogs.warnings.size(), 2);
    QCOMPARE(h.form->table().recordCount(), 3);

    // A source inside another pair's folder, added after that pair or before.
    const QString t1 = QString::fromStdString(h.tree->path("t1"));
    add("/p1/data", t1);
    QCOMPARE(h.dialogs.warnings.size(), 2);
    add(t1 + "/data/sub", "/t2");
    QCOMPARE(h.dialogs.warnings.size(), 3);
    QVERIFY(h.dialogs.warnings[2].contains(
        QStringLiteral("Zdroj páru ") + t1 +
        "/data/sub -> /t2 leží v cílové složce páru /p1/data -> " + t1));
    add(t1 + "/other/x", "/t3");
    QCOMPARE(h.dialogs.warnings.size(), 3);
    add("/p4/other", t1);
    QCOMPARE(h.dialogs.warnings.size(), 4);
    QVERIFY(h.dialogs.warnings[3].contains(QStringLiteral("Výmaz páru /p4/other -> ") + t1));

    add("/p5/data", target + "/.tavro-historie/x");
    QCOMPARE(h.dialogs.warnings.size(), 5);
    QVERIFY(h.dialogs.warnings[4].contains(QStringLiteral("leží ve složce historie verzí")));
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::PairEditingTest)
#include "pair_editing_test.moc"
