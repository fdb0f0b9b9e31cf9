#pragma once

#include <QString>

class QWidget;

namespace tavro {

// The message boxes the window asks and tells through. The real one shows
// them; tests answer them without showing anything.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The default error box: "Tavro", error icon, OK.
  virtual void showError(QWidget* parent, const QString& message) = 0;
  // "Confirm", question icon, Yes (default) and No (Esc); true for Yes.
  virtual bool confirmClose(QWidget* parent) = 0;
  // "Confirm", question icon, "Delete record?", OK and Cancel; true for OK.
  virtual bool confirmDelete(QWidget* parent) = 0;
  // "Tavro", warning icon, OK.
  virtual void showWarning(QWidget* parent, const QString& message) = 0;
  // "Tavro", question icon, Yes and No (default); true for Yes.
  virtual bool confirmMassDeletion(QWidget* parent, const QString& message) = 0;
  // "O programu", the program's icon, OK.
  virtual void showAbout(QWidget* parent, const QString& text) = 0;
  // "Tavro", information icon, OK.
  virtual void showInformation(QWidget* parent, const QString& message) = 0;
};

class MessageBoxDialogs final : public Dialogs {
 public:
  void showError(QWidget* parent, const QString& message) override;
  bool confirmClose(QWidget* parent) override;
  bool confirmDelete(QWidget* parent) override;
  void showWarning(QWidget* parent, const QString& message) override;
  bool confirmMassDeletion(QWidget* parent, const QString& message) override;
  void showAbout(QWidget* parent, const QString& text) override;
  void showInformation(QWidget* parent, const QString& message) override;
};

// The text the error box shows: the message with a full stop added unless it
// already ends in "." or a character that sorts at or below it.
QString errorBoxText(const QString& message);

}  // namespace tavro
