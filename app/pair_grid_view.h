#pragma once

#include <QTableView>
#include <functional>

namespace tavro {

class PairGridModel;

// The pair grid: edits in place, Insert opens a new row before the current
// one, Down on the last row appends one, Esc undoes the typing in a cell and,
// with no typing pending, drops the row's changes, and Ctrl+Delete removes
// the current row after a question, also from inside a cell's editor.
class PairGridView : public QTableView {
  Q_OBJECT

 public:
  PairGridView(PairGridModel& model, QWidget* parent);

  // Asked before Ctrl+Delete removes a row; true to remove.
  void setConfirmDelete(std::function<bool()> confirm) { confirmDelete_ = std::move(confirm); }
  // Editing on or off; the grid still shows the table when off.
  void setEditingEnabled(bool enabled);
  // Selects the table's current row.
  void followTable();

  // Ctrl+Delete: asks, then removes the current row (a new row is dropped).
  // `editor` is the cell editor the keys came from, if any; its typing is
  // kept in the row, never replaced by the keys.
  void removeAfterQuestion(QWidget* editor = nullptr);
  // Moves the focus to the control after (before) the grid: Tab moves
  // between cells, Ctrl+Tab leaves.
  void leaveWithCtrlTab(bool forward);

  // What the grid says while it has no rows: how to add the first pair.
  void setEmptyHint(const QString& hint) { emptyHint_ = hint; }
  const QString& emptyHint() const { return emptyHint_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void changeEvent(QEvent* event) override;

 private:
  void setColumnWidths();

  PairGridModel& model_;
  std::function<bool()> confirmDelete_;
  bool editing_ = true;
  bool following_ = false;
  bool asking_ = false;  // the delete question is open
  QString emptyHint_;
};

}  // namespace tavro
