#include "app/folder_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "testing/temp_tree.h"

namespace tavro {

// The real folder dialog, driven once it is up.
class FolderDialogTest : public QObject {
  Q_OBJECT

 private:
  // Selects `folder` in the tree and presses `button` once the dialog shows.
  void whenShown(const QString& folder, QDialogButtonBox::StandardButton button) {
    QTimer::singleShot(0, this, [this, folder, button] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      seenTitle = dialog->windowTitle();
      seenLabel = dialog->findChild<QLabel*>()->text();
      auto* tree = dialog->findChild<QTreeView*>();
      auto* model = qobject_cast<QFileSystemModel*>(tree->model());
      seenFilter = model->filter();
      seenStart = dialog->findChild<QLineEdit*>()->text();
      if (!folder.isEmpty()) tree->setCurrentIndex(model->index(folder));
      dialog->findChild<QDialogButtonBox*>()->button(button)->click();
    });
  }

  QString seenTitle;
  QString seenLabel;
  QString seenStart;
  QDir::Filters seenFilter;

 private slots:
  void okConfirmsTheSelectedFolderAndCancelKeepsTheLastOne() {
    testkit::TempTree tree;
    const QString first = QString::fromStdString(tree.folder("first"));
    const QString second = QString::fromStdString(tree.folder("second"));
    FolderDialog dialog(nullptr);
    dialog.setCaption(QStringLiteral("Vyberte adresář k záloze"));
    dialog.setLabel(QStringLiteral("1. Vyberte adresář, který zálohovat."));

    whenShown({}, QDialogButtonBox::Cancel);
    QVERIFY(!dialog.execute());
    QCOMPARE(seenStart, QDir::homePath());  // before any folder was confirmed
    QVERIFY(dialog.folder().isEmpty());

    whenShown(first, QDialogButtonBox::Ok);
    QVERIFY(dialog.execute());
    QCOMPARE(dialog.folder(), first);
    QCOMPARE(seenTitle, QStringLiteral("Vyberte adresář k záloze"));
    QCOMPARE(seenLabel, QStringLiteral("1. Vyberte adresář, který zálohovat."));
    QVERIFY(!(seenFilter & QDir::Files));  // folders only

    whenShown(second, QDialogButtonBox::Cancel);
    QVERIFY(!dialog.execute());
    QCOMPARE(seenStart, first);  // it opened at the folder last confirmed
    QCOMPARE(dialog.folder(), first);
  }

  void itOpensScrolledToTheFolderLastConfirmed() {
    testkit::TempTree tree;
    for (int i = 0; i < 300; ++i) tree.folder("f" + std::to_string(1000 + i));
    const QString start = QString::fromStdString(tree.folder("f1250/inner"));
    FolderDialog dialog(nullptr);
    whenShown(start, QDialogButtonBox::Ok);
    QVERIFY(dialog.execute());

    bool shown = false;
    QTimer::singleShot(0, this, [&] {
      auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(open != nullptr);
      auto* view = open->findChild<QTreeView*>();
      auto* model = qobject_cast<QFileSystemModel*>(view->model());
      // Wait until the folder is read, then see that the view stays on it.
      QTRY_VERIFY_WITH_TIMEOUT(model->rowCount(model->index(tree.path("").c_str())) >= 300, 5000);
      QTest::qWait(200);
      const QRect place = view->visualRect(model->index(start));
      shown = view->viewport()->rect().contains(place.center());
      open->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    QVERIFY(!dialog.execute());
    QVERIFY2(shown, "the folder it opens at is scrolled into view");
  }
};

}  // namespace tavro

QTEST_MAIN(tavro::FolderDialogTest)
#include "folder_dialog_test.moc"
