#include "app/dialogs.h"
#include "app/qt_translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace tavro {

// The real message boxes, answered by key presses once they are up.
class DialogsTest : public QObject {
  Q_OBJECT

 private:
  // Runs `inspect` on the box as soon as it is shown, then presses `key`.
  void whenShown(std::function<void(QMessageBox&)> inspect, Qt::Key key) {
    QTimer::singleShot(0, this, [inspect, key] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      inspect(*box);
      QTest::keyClick(box, key);
    });
  }

 private slots:
  void theCloseQuestionDefaultsToYesAndEscapeSaysNo() {
    MessageBoxDialogs dialogs;
    whenShown(
        [](QMessageBox& box) {
          QCOMPARE(box.windowTitle(), QStringLiteral("Confirm"));
          QCOMPARE(box.icon(), QMessageBox::Question);
          QCOMPARE(box.text(),
                   QStringLiteral("Nebude možné automaticky zálohovat. Opravdu zavřít aplikaci?"));
          QCOMPARE(box.defaultButton()->text(), QStringLiteral("&Yes"));
        },
        Qt::Key_Escape);
    QVERIFY(!dialogs.confirmClose(nullptr));
    whenShown([](QMessageBox&) {}, Qt::Key_Return);
    QVERIFY(dialogs.confirmClose(nullptr));
    // The box's own close box lets the close proceed.
    QTimer::singleShot(0, this, [] { QApplication::activeModalWidget()->close(); });
    QVERIFY(dialogs.confirmClose(nullptr));
  }

  void theMassDeletionQuestionDefaultsToNo() {
    MessageBoxDialogs dialogs;
    const QString text = QStringLiteral("Záloha smaže 30 z 40 souborů v /zaloha/Dokumenty. Pokračovat?");
    whenShown(
        [&](QMessageBox& box) {
          QCOMPARE(box.windowTitle(), QStringLiteral("Tavro"));
          QCOMPARE(box.icon(), QMessageBox::Question);
          QCOMPARE(box.text(), text);
          QCOMPARE(box.defaultButton(), box.button(QMessageBox::No));
        },
        Qt::Key_Return);
    QVERIFY(!dialogs.confirmMassDeletion(nullptr, text));
    QTimer::singleShot(0, this, [] {
      qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
          ->button(QMessageBox::Yes)
          ->click();
    });
    QVERIFY(dialogs.confirmMassDeletion(nullptr, text));
  }

  void theDeleteQuestionAsksWithOkAndCancel() {
    MessageBoxDialogs dialogs;
    whenShown(
        [](QMessageBox& box) {
          QCOMPARE(box.windowTitle(), QStringLiteral("Confirm"));
          QCOMPARE(box.text(), QStringLiteral("Delete record?"));
          QVERIFY(box.button(QMessageBox::Ok) != nullptr);
          QVERIFY(box.button(QMessageBox::Cancel) != nullptr);
        },
        Qt::Key_Escape);
    QVERIFY(!dialogs.confirmDelete(nullptr));
  }

  void onACzechDesktopTheStandardButtonsSpeakCzech() {
    if (!installQtTranslations(*QCoreApplication::instance(), QLocale(QStringLiteral("cs_CZ")))) {
      QSKIP("Qt's Czech translations (qt6-translations-l10n) are not installed");
    }
    MessageBoxDialogs dialogs;
    QString cancel;
    QString yes;
    whenShown(
        [&](QMessageBox& box) {
          cancel = box.button(QMessageBox::Cancel)->text();
          QMessageBox standard(QMessageBox::Question, QStringLiteral("x"), QStringLiteral("x"),
                               QMessageBox::Yes | QMessageBox::No);
          yes = standard.button(QMessageBox::Yes)->text();
        },
        Qt::Key_Escape);
    QVERIFY(!dialogs.confirmDelete(nullptr));
    QCOMPARE(QString(cancel).remove('&'), QStringLiteral("Zrušit"));
    QCOMPARE(QString(yes).remove('&'), QStringLiteral("Ano"));
    // The program's own texts stay as they are.
    whenShown([](QMessageBox& box) { QCOMPARE(box.defaultButton()->text(), QStringLiteral("&Yes")); },
              Qt::Key_Escape);
    QVERIFY(!dialogs.confirmClose(nullptr));
  }

  void theErrorBoxAddsAFullStopUnlessOneIsThere() {
    QCOMPARE(errorBoxText(QStringLiteral("Unable to write to /x")),
             QStringLiteral("Unable to write to /x."));
    QCOMPARE(errorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
    QCOMPARE(errorBoxText(QStringLiteral("Nelze !!!")), QStringLiteral("Nelze !!!"));
    QCOMPARE(errorBoxText(QStringLiteral("(a)")), QStringLiteral("(a)"));
    QCOMPARE(errorBoxText(QStringLiteral("time 7:")), QStringLiteral("time 7:."));
  }

  void theErrorBoxIsCaptionedTavroWithTheFullStopRule() {
    MessageBoxDialogs dialogs;
    whenShown(
        [](QMessageBox& box) {
          QCOMPARE(box.windowTitle(), QStringLiteral("Tavro"));
          QCOMPARE(box.icon(), QMessageBox::Critical);
          QCOMPARE(box.text(), QStringLiteral("Unable to write to /x/Tavro.ini."));
        },
        Qt::Key_Return);
    dialogs.showError(nullptr, QStringLiteral("Unable to write to /x/Tavro.ini"));
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::DialogsTest)
#include "dialogs_test.moc"
