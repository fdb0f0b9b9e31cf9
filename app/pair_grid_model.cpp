#include "app/pair_grid_model.h"

namespace tavro {

const char* PairGridModel::columnName(int column) {
  static const char* kNames[] = {"Src", "Trg", "Stav"};
  return kNames[column];
}

int PairGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !table_.isOpen()) return 0;
  return table_.recordCount();
}

int PairGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PairGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !table_.isOpen()) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  return QString::fromLocal8Bit(table_.fieldTextAt(index.row(), columnName(index.column())));
}

QVariant PairGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* kHeadings[] = {"Zdroj", "Cíl", "STAV"};
  return QString::fromUtf8(kHeadings[section]);
}

void PairGridModel::refresh() {
  beginResetModel();
  endResetModel();
}

}  // namespace tavro
