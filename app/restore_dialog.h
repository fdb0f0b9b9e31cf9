#pragma once

#include <QDialog>

#include "program/restore_view.h"

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tavro {

// "Obnovit ze zálohy": the restore points of a pair on the left, its tree at
// the chosen one on the right with a filter above it, and the two restores.
class RestoreDialog final : public QDialog {
  Q_OBJECT

 public:
  RestoreDialog(RestoreView& view, RestoreHooks hooks, QWidget* parent);

  // The same as the buttons, for the window's tests.
  void restoreInPlace();
  void restoreElsewhere();

  void reject() override;

 private:
  void showPoint(int index);
  void showTree();
  std::vector<int> chosenRows() const;

  RestoreView& view_;
  RestoreHooks hooks_;
  QListWidget* points_;
  QLineEdit* filter_;
  QTreeWidget* tree_;
  QProgressBar* progress_;
  QPushButton* inPlace_;
  QPushButton* elsewhere_;
  QPushButton* close_;
  QPushButton* stop_;  // "Přerušit", shown while a restore copies
  bool stopRequested_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace tavro
