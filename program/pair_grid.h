#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "pairs/pair_table.h"

namespace tavro {

// The pair table as the window's grid edits it, for both windows: the grid
// shows the table's rows, plus the new row of an open insert at its place,
// and holds no pair data of its own. The first change in a row opens an
// edit, each cell is assigned with setFieldText, and moving to another row
// stores it; a stored or removed row reaches the file at once.
class PairGrid {
 public:
  static constexpr int kColumns = 3;

  explicit PairGrid(PairTable& table) : table_(table) {}

  // A table error in an edit goes here (the window's error box).
  void setErrorHandler(std::function<void(const std::exception&)> handler) {
    onError_ = std::move(handler);
  }
  // Editing on or off (off while a run walks the pairs); the grid still
  // shows the table when off.
  void setEditable(bool editable) { editable_ = editable; }
  bool editable() const { return editable_; }

  int rowCount() const;
  // A cell's text; the row being edited or inserted shows its working copy.
  std::string cellText(int row, int column) const;
  // Assigns a cell, making its row current and opening the row's edit. A
  // text equal to the cell's assigns nothing (an editor closed unchanged
  // opens no edit). False when editing is off.
  bool setCellText(int row, int column, const std::string& text);

  // The row of the table's current pair (or of the new row), -1 if none.
  int currentRow() const;
  // Makes the pair shown at `row` current, storing the row being edited or
  // dropping a new row left without any change.
  void moveToRow(int row);
  void insertRow();  // a new row before the current one
  void appendRow();  // a new row after the last
  void cancelRow();  // drops the changes of the row being edited
  // Asks `confirm` about the current row, then removes it: a new row just
  // goes, a stored one is removed from the table and the file. Nothing is
  // asked on an empty grid, and nothing removed when editing went off while
  // the question was open. True when a row went.
  bool removeAfterQuestion(const std::function<bool()>& confirm);
  // A new row that was left without any change goes (the grid lost the
  // focus).
  void dropUntouchedNewRow();
  // Whether the current row is a new one, not yet stored.
  bool newRowOpen() const { return table_.isOpen() && table_.isInserting(); }

  static Column columnOf(int column) { return static_cast<Column>(column); }

 private:
  // The table row a grid row shows, or -1 for the new row of an insert.
  int tableRow(int row) const;
  bool guarded(const std::function<void()>& action);
  void removeCurrent();
  void storeChanges();

  PairTable& table_;
  bool editable_ = true;
  std::function<void(const std::exception&)> onError_;
};

}  // namespace tavro
