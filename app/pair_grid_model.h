#pragma once

#include <QAbstractTableModel>

#include "pairs/pair_table.h"

namespace tavro {

// The pair table as a Qt model: the view shows the table's rows and holds
// no pair data of its own.
class PairGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PairGridModel(PairTable& table, QObject* parent = nullptr)
      : QAbstractTableModel(parent), table_(table) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Shows the table as it is now.
  void refresh();

  static const char* columnName(int column);

 private:
  PairTable& table_;
};

}  // namespace tavro
