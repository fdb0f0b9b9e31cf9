#include "app/pair_grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

#include "app/pair_grid_model.h"

namespace tavro {

namespace {

constexpr QAbstractItemView::EditTriggers kEditTriggers =
    QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
    QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
    QAbstractItemView::EditKeyPressed;

}  // namespace

PairGridView::PairGridView(PairGridModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(&model_);
  setColumnWidth(0, 183);
  setColumnWidth(1, 183);
  setColumnWidth(2, 73);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(kEditTriggers);
  setTabKeyNavigation(true);
}

void PairGridView::setEditingEnabled(bool enabled) {
  editing_ = enabled;
  model_.setEditable(enabled);
  setEditTriggers(enabled ? kEditTriggers : QAbstractItemView::NoEditTriggers);
  // A reset closes an open cell editor; with the model read-only its text
  // is not assigned.
  if (!enabled) model_.refresh();
}

void PairGridView::followTable() {
  const int row = model_.currentViewRow();
  const int column = std::max(0, currentIndex().column());
  following_ = true;
  const auto triggers = editTriggers();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  if (row >= 0) setCurrentIndex(model_.index(row, column));
  setEditTriggers(triggers);
  following_ = false;
}

void PairGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (following_ || !current.isValid() || current.row() == previous.row()) {
    QTableView::currentChanged(current, previous);
    return;
  }
  // The table moves first (storing or dropping the row left), so that an
  // editor opened on the new row edits the table's current row.
  const int rowsBefore = model_.rowCount();
  model_.moveToRow(current.row());
  if (model_.rowCount() != rowsBefore) {
    followTable();
    return;
  }
  QTableView::currentChanged(current, previous);
}

void PairGridView::keyPressEvent(QKeyEvent* event) {
  if (!editing_) {
    QTableView::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Insert:
      if (ctrl) break;
      model_.insertRow();
      followTable();
      return;
    case Qt::Key_Delete:
      if (!ctrl || model_.rowCount() == 0) break;
      if (!confirmDelete_ || confirmDelete_()) {
        model_.removeCurrent();
        followTable();
      }
      return;
    case Qt::Key_Escape:
      model_.cancelRow();
      followTable();
      return;
    case Qt::Key_Down:
      if (currentIndex().row() == model_.rowCount() - 1) {
        model_.appendRow();
        followTable();
        return;
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (state() != QAbstractItemView::EditingState && currentIndex().isValid()) {
        edit(currentIndex());
        return;
      }
      break;
    default:
      break;
  }
  QTableView::keyPressEvent(event);
}

void PairGridView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  // A cell editor takes the focus too; only leaving the view for good drops
  // an untouched new row.
  QTimer::singleShot(0, this, [this] {
    QWidget* focus = QApplication::focusWidget();
    if (focus == this || (focus != nullptr && isAncestorOf(focus))) return;
    model_.dropUntouchedNewRow();
    followTable();
  });
}

}  // namespace tavro
