#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "program/restore_view.h"

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tavro {

// What the dialog asks of the window: its question box (No the default),
// the report box, the folder dialog and the time the kept copies are named by.
struct RestoreDialogHooks {
  std::function<bool(const std::string& question)> confirm;
  std::function<void(const std::string& report, bool problems)> report;
  std::function<std::optional<std::string>()> chooseFolder;
  std::function<LocalDateTime()> now;
};

// "Obnovit ze zálohy": the restore points of a pair on the left, its tree at
// the chosen one on the right with a filter above it, and the two restores.
class RestoreDialog final : public QDialog {
  Q_OBJECT

 public:
  RestoreDialog(RestoreView& view, RestoreDialogHooks hooks, QWidget* parent);

  // The same as the buttons, for the window's tests.
  void restoreInPlace();
  void restoreElsewhere();

 private:
  void showPoint(int index);
  void showTree();
  std::vector<int> chosenRows() const;
  void finished(const RestoreReport& report);
  // Shows how far a restore is and lets the window paint; true to go on.
  bool progress(int done, int total);

  RestoreView& view_;
  RestoreDialogHooks hooks_;
  QListWidget* points_;
  QLineEdit* filter_;
  QTreeWidget* tree_;
  QProgressBar* progress_;
  QPushButton* inPlace_;
  QPushButton* elsewhere_;
  QPushButton* close_;
};

}  // namespace tavro
