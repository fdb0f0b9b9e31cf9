#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "program/pair_grid.h"

namespace tavro {

// The pair grid as a Qt model: the core's grid does the editing, the model
// tells the view what changed.
class PairGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit PairGridModel(PairTable& table, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(table) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Shows the table as it is now.
  void refresh();
  void setEditable(bool editable) { grid_.setEditable(editable); }
  bool editable() const { return grid_.editable(); }
  // A table error in an edit goes here (the window's error box).
  void setErrorHandler(std::function<void(const std::exception&)> handler) {
    grid_.setErrorHandler(std::move(handler));
  }

  // The view row of the table's current row (or of the new row), -1 if none.
  int currentViewRow() const { return grid_.currentRow(); }
  // Makes the pair shown at `viewRow` current, storing or dropping the row
  // being edited as the table does.
  void moveToRow(int viewRow);
  void insertRow();  // a new row before the current one
  void appendRow();  // a new row after the last
  void cancelRow();  // drops the changes of the row being edited
  // Asks `confirm`, then removes the current row (see PairGrid).
  void removeAfterQuestion(const std::function<bool()>& confirm);
  // A new row that was left without any change goes.
  void dropUntouchedNewRow();

 private:
  PairGrid grid_;
};

}  // namespace tavro
