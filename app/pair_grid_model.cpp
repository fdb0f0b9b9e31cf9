#include "app/pair_grid_model.h"

#include "app/local_text.h"
#include "program/window_layout.h"

namespace tavro {

int PairGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.rowCount();
}

int PairGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : PairGrid::kColumns;
}

QVariant PairGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return localText(grid_.cellText(index.row(), index.column()));
}

QVariant PairGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return QString::fromUtf8(kPairGridHeadings[section]);
}

Qt::ItemFlags PairGridModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (grid_.editable() && index.isValid()) flags |= Qt::ItemIsEditable;
  return flags;
}

bool PairGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid()) return false;
  if (!grid_.setCellText(index.row(), index.column(), localBytes(value.toString()))) return false;
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 2));
  return true;
}

void PairGridModel::refresh() {
  beginResetModel();
  endResetModel();
}

void PairGridModel::moveToRow(int viewRow) {
  const int rowsBefore = rowCount();
  grid_.moveToRow(viewRow);
  // A reset would close the cell editor the view opens on the new row;
  // only a row that came or went needs one.
  if (rowCount() != rowsBefore) {
    refresh();
  } else if (rowsBefore > 0) {
    emit dataChanged(index(0, 0), index(rowsBefore - 1, 2));
  }
}

void PairGridModel::insertRow() {
  grid_.insertRow();
  refresh();
}

void PairGridModel::appendRow() {
  grid_.appendRow();
  refresh();
}

void PairGridModel::cancelRow() {
  grid_.cancelRow();
  refresh();
}

void PairGridModel::removeAfterQuestion(const std::function<bool()>& confirm) {
  if (grid_.removeAfterQuestion(confirm)) refresh();
}

void PairGridModel::dropUntouchedNewRow() {
  grid_.dropUntouchedNewRow();
  refresh();
}

}  // namespace tavro
