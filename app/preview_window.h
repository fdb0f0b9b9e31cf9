#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <vector>

#include "engine/backup_run.h"
#include "program/preview_rows.h"

class QListWidget;
class QPushButton;
class QTableView;

namespace tavro {

// Every planned entry of a preview, one row each, over the plan itself: a
// list of a hundred thousand entries costs one index per row, not widgets.
class PreviewModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum ColumnId { Kind = 0, Size = 1, Path = 2 };
  explicit PreviewModel(const std::vector<PairPreview>& pairs, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

  const PlannedEntry& entryAt(int row) const { return *rows_[static_cast<std::size_t>(row)]; }

 private:
  std::vector<const PlannedEntry*> rows_;
};

// The window "Náhled zálohy": a summary line per pair (with the failures it
// can tell already) above the sortable list of entries, and "Zálohovat",
// which starts the run.
class PreviewWindow final : public QWidget {
  Q_OBJECT

 public:
  PreviewWindow(std::vector<PairPreview> pairs, QWidget* parent);

  PreviewModel& model() { return *model_; }

 signals:
  void backUpRequested();

 private:
  std::vector<PairPreview> pairs_;  // what the model shows
  PreviewModel* model_;
  QListWidget* summary_;
  QTableView* list_;
  QPushButton* backUp_;
};

}  // namespace tavro
