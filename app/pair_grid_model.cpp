#include "app/pair_grid_model.h"

#include "app/local_text.h"
#include "program/window_layout.h"

namespace tavro {

Column PairGridModel::columnOf(int viewColumn) { return static_cast<Column>(viewColumn); }

int PairGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !table_.isOpen()) return 0;
  return table_.recordCount() + (table_.isInserting() ? 1 : 0);
}

int PairGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

int PairGridModel::tableRow(int viewRow) const {
  if (!table_.isInserting()) return viewRow;
  const int at = table_.currentIndex();
  if (viewRow == at) return -1;
  return viewRow > at ? viewRow - 1 : viewRow;
}

QVariant PairGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !table_.isOpen()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const Column column = columnOf(index.column());
  const int row = tableRow(index.row());
  // The row being edited or inserted shows its working copy.
  if (row < 0 || (table_.isEditing() && row == table_.currentIndex())) {
    return localText(table_.fieldText(column));
  }
  return localText(table_.fieldTextAt(row, column));
}

QVariant PairGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return QString::fromUtf8(kPairGridHeadings[section]);
}

Qt::ItemFlags PairGridModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (editable_ && index.isValid()) flags |= Qt::ItemIsEditable;
  return flags;
}

void PairGridModel::guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    if (onError_) onError_(error);
  }
}

bool PairGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!editable_ || role != Qt::EditRole || !index.isValid()) return false;
  // An editor closed without a change assigns nothing.
  if (value == data(index, Qt::EditRole)) return true;
  guarded([&] {
    if (currentViewRow() != index.row()) moveToRow(index.row());
    if (!table_.isEditing() && !table_.isInserting()) table_.edit();
    table_.setFieldText(columnOf(index.column()), localBytes(value.toString()));
  });
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 2));
  return true;
}

void PairGridModel::refresh() {
  beginResetModel();
  endResetModel();
}

void PairGridModel::setEditable(bool editable) { editable_ = editable; }

int PairGridModel::currentViewRow() const {
  if (!table_.isOpen()) return -1;
  return table_.currentIndex();
}

void PairGridModel::moveToRow(int viewRow) {
  if (!table_.isOpen() || viewRow < 0) return;
  const int current = table_.currentIndex();
  const bool open = table_.isInserting() || table_.isEditing();
  if (viewRow == current && (open || table_.recordCount() > 0)) return;
  const int rowsBefore = rowCount();
  guarded([&] {
    int target = viewRow;
    if (table_.isInserting() && !table_.rowModified()) {
      // The untouched new row goes, and the rows after it move up.
      table_.cancel();
      if (viewRow > current) --target;
    }
    table_.moveTo(target);
  });
  // A reset would close the cell editor the view opens on the new row;
  // only a row that came or went needs one.
  if (rowCount() != rowsBefore) {
    refresh();
  } else if (rowsBefore > 0) {
    emit dataChanged(index(0, 0), index(rowsBefore - 1, 2));
  }
  storeChanges();
}

void PairGridModel::storeChanges() {
  // A row stored or removed in the grid reaches the file at once: a session
  // that ends without the program's own end (a logout that kills it, a
  // crash) would otherwise lose the edit. While a run walks the pairs the
  // grid edits nothing, and the run's states wait for the next write.
  if (!editable_ || !table_.isOpen() || table_.isEditing() || table_.isInserting() ||
      !table_.changed()) {
    return;
  }
  guarded([&] { table_.flush(); });
}

void PairGridModel::insertRow() {
  guarded([&] { table_.insert(); });
  refresh();
}

void PairGridModel::appendRow() {
  guarded([&] { table_.append(); });
  refresh();
}

void PairGridModel::cancelRow() {
  guarded([&] {
    if (table_.isEditing() || table_.isInserting()) table_.cancel();
  });
  refresh();
}

void PairGridModel::removeCurrent() {
  guarded([&] {
    if (table_.recordCount() > 0 || table_.isInserting()) table_.remove();
  });
  refresh();
  storeChanges();
}

void PairGridModel::dropNewRow() {
  if (!newRowOpen()) return;
  guarded([&] { table_.cancel(); });
  refresh();
}

void PairGridModel::dropUntouchedNewRow() {
  if (!table_.isInserting() || table_.rowModified()) return;
  guarded([&] { table_.cancel(); });
  refresh();
}

}  // namespace tavro
