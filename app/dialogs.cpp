#include "app/dialogs.h"

#include <QMessageBox>
#include <QPushButton>

#include "program/window_program.h"

namespace tavro {

QString errorBoxText(const QString& message) {
  return QString::fromStdString(errorBoxText(message.toStdString()));
}

void MessageBoxDialogs::showError(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Tavro"), errorBoxText(message),
                  QMessageBox::Ok, parent);
  box.exec();
}

namespace {

// Qt takes a message box's own close box for its escape button; the close
// question tells the two apart, because only Esc means "No".
class CloseQuestion final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  bool closedByItsBox() const { return closedByItsBox_; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    closedByItsBox_ = true;
    QMessageBox::closeEvent(event);
  }

 private:
  bool closedByItsBox_ = false;
};

}  // namespace

bool MessageBoxDialogs::confirmClose(QWidget* parent) {
  CloseQuestion box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Nebude možné automaticky zálohovat. Opravdu zavřít aplikaci?"),
                    QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  // Dismissing the box through its own close box lets the close proceed.
  return box.closedByItsBox() || box.clickedButton() != no;
}

bool MessageBoxDialogs::confirmDelete(QWidget* parent) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                  QStringLiteral("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel, parent);
  return box.exec() == QMessageBox::Ok;
}

void MessageBoxDialogs::showInformation(QWidget* parent, const QString& message) {
  QMessageBox::information(parent, QStringLiteral("Tavro"), message);
}

void MessageBoxDialogs::showAbout(QWidget* parent, const QString& text) {
  QMessageBox::about(parent, QStringLiteral("O programu"), text);
}

bool MessageBoxDialogs::confirmMassDeletion(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Tavro"), message,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void MessageBoxDialogs::showWarning(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Tavro"), message, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace tavro
