#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "pairs/pair_table.h"

namespace tavro {

// The pair table as a Qt model: the view shows the table's rows, plus the
// new row of an open insert at its place, and holds no pair data of its own.
// Edits go to the table: the first change in a row opens an edit, each cell
// is assigned with setFieldText, and moving to another row stores it.
class PairGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PairGridModel(PairTable& table, QObject* parent = nullptr)
      : QAbstractTableModel(parent), table_(table) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Shows the table as it is now.
  void refresh();
  void setEditable(bool editable);
  bool editable() const { return editable_; }
  // A table error in an edit goes here (the window's error box).
  void setErrorHandler(std::function<void(const std::exception&)> handler) {
    onError_ = std::move(handler);
  }

  // The view row of the table's current row (or of the new row), -1 if none.
  int currentViewRow() const;
  // Makes the pair shown at `viewRow` current, storing or dropping the row
  // being edited as the table does.
  void moveToRow(int viewRow);
  void insertRow();  // a new row before the current one
  void appendRow();  // a new row after the last
  void cancelRow();  // drops the changes of the row being edited
  void removeCurrent();
  // A new row that was left without any change goes.
  void dropUntouchedNewRow();
  // Whether the current row is a new one, not yet stored.
  bool newRowOpen() const { return table_.isOpen() && table_.isInserting(); }
  // The new row goes, changed or not; no stored row is touched.
  void dropNewRow();

  // The grid's columns are the table's, in its order.
  static Column columnOf(int viewColumn);

 private:
  // The table row a view row shows, or -1 for the new row of an insert.
  int tableRow(int viewRow) const;
  void guarded(const std::function<void()>& action);
  // Writes the table when a stored row differs from the file.
  void storeChanges();

  PairTable& table_;
  bool editable_ = true;
  std::function<void(const std::exception&)> onError_;
};

}  // namespace tavro
