#include "program/pair_grid.h"

namespace tavro {

int PairGrid::rowCount() const {
  if (!table_.isOpen()) return 0;
  return table_.recordCount() + (table_.isInserting() ? 1 : 0);
}

int PairGrid::tableRow(int row) const {
  if (!table_.isInserting()) return row;
  const int at = table_.currentIndex();
  if (row == at) return -1;
  return row > at ? row - 1 : row;
}

std::string PairGrid::cellText(int row, int column) const {
  if (!table_.isOpen() || row < 0 || row >= rowCount() || column < 0 || column >= kColumns) {
    return {};
  }
  const int at = tableRow(row);
  if (at < 0 || (table_.isEditing() && at == table_.currentIndex())) {
    return table_.fieldText(columnOf(column));
  }
  return table_.fieldTextAt(at, columnOf(column));
}

bool PairGrid::guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    if (onError_) onError_(error);
    return false;
  }
}

bool PairGrid::setCellText(int row, int column, const std::string& text) {
  if (!editable_ || row < 0 || row >= rowCount() || column < 0 || column >= kColumns) return false;
  if (text == cellText(row, column)) return true;
  guarded([&] {
    if (currentRow() != row) moveToRow(row);
    if (!table_.isEditing() && !table_.isInserting()) table_.edit();
    table_.setFieldText(columnOf(column), text);
  });
  return true;
}

int PairGrid::currentRow() const { return table_.isOpen() ? table_.currentIndex() : -1; }

void PairGrid::moveToRow(int row) {
  if (!table_.isOpen() || row < 0) return;
  const int current = table_.currentIndex();
  const bool open = table_.isInserting() || table_.isEditing();
  if (row == current && (open || table_.recordCount() > 0)) return;
  guarded([&] {
    int target = row;
    if (table_.isInserting() && !table_.rowModified()) {
      // The untouched new row goes, and the rows after it move up.
      table_.cancel();
      if (row > current) --target;
    }
    table_.moveTo(target);
  });
  storeChanges();
}

void PairGrid::storeChanges() {
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

void PairGrid::insertRow() {
  guarded([&] { table_.insert(); });
}

void PairGrid::appendRow() {
  guarded([&] { table_.append(); });
}

void PairGrid::cancelRow() {
  guarded([&] {
    if (table_.isEditing() || table_.isInserting()) table_.cancel();
  });
}

void PairGrid::removeCurrent() {
  guarded([&] {
    if (table_.recordCount() > 0 || table_.isInserting()) table_.remove();
  });
  storeChanges();
}

bool PairGrid::removeAfterQuestion(const std::function<bool()>& confirm) {
  if (!editable_ || rowCount() == 0) return false;
  // The question is about the row current now: a new row, or a stored one.
  const bool newRow = newRowOpen();
  if (confirm && !confirm()) return false;
  // Pairs are not edited while a run (started meanwhile) is in progress.
  if (!editable_) return false;
  const int before = rowCount();
  if (newRow) {
    if (newRowOpen()) guarded([&] { table_.cancel(); });
  } else {
    removeCurrent();
  }
  return rowCount() != before;
}

void PairGrid::dropUntouchedNewRow() {
  if (!table_.isOpen() || !table_.isInserting() || table_.rowModified()) return;
  guarded([&] { table_.cancel(); });
}

}  // namespace tavro
