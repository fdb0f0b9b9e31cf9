#include "app/preview_window.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>

#include "app/local_text.h"

namespace tavro {

PreviewModel::PreviewModel(const std::vector<PairPreview>& pairs, QObject* parent)
    : QAbstractTableModel(parent) {
  rows_ = previewRows(pairs);
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const PlannedEntry& entry = entryAt(index.row());
  if (role == Qt::TextAlignmentRole && index.column() == Size) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case Kind:
    case Size:
      return QString::fromUtf8(previewCell(entry, static_cast<PreviewColumn>(index.column())));
    case Path: return localText(entry.path) + (entry.folder ? QStringLiteral("/") : QString());
  }
  return {};
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section > Path) return {};
  return QString::fromUtf8(kPreviewHeadings[section]);
}

void PreviewModel::sort(int column, Qt::SortOrder order) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<const PlannedEntry*> old;
  if (!before.isEmpty()) old = rows_;
  const auto by = static_cast<PreviewColumn>(column);
  auto less = [by](const PlannedEntry* a, const PlannedEntry* b) {
    return previewLess(*a, *b, by);
  };
  std::stable_sort(rows_.begin(), rows_.end(), [&](const PlannedEntry* a, const PlannedEntry* b) {
    return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
  });
  if (!before.isEmpty()) {
    // The selection follows its entries to their new rows.
    std::unordered_map<const PlannedEntry*, int> rowOf;
    for (std::size_t row = 0; row < rows_.size(); ++row) rowOf[rows_[row]] = static_cast<int>(row);
    QModelIndexList after;
    for (const QModelIndex& index : before) {
      after << this->index(rowOf[old[static_cast<std::size_t>(index.row())]], index.column());
    }
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

PreviewWindow::PreviewWindow(std::vector<PairPreview> pairs, QWidget* parent)
    : QWidget(parent, Qt::Window), pairs_(std::move(pairs)) {
  setObjectName(QStringLiteral("PreviewWindow"));
  setWindowTitle(QStringLiteral("Náhled zálohy"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(820, 520);

  summary_ = new QListWidget(this);
  summary_->setObjectName(QStringLiteral("PreviewSummary"));
  for (const auto& line : previewSummaryLines(pairs_)) summary_->addItem(localText(line));
  summary_->setMaximumHeight(120);

  model_ = new PreviewModel(pairs_, this);
  list_ = new QTableView(this);
  list_->setObjectName(QStringLiteral("PreviewList"));
  list_->setModel(model_);
  list_->setSortingEnabled(true);
  list_->sortByColumn(PreviewModel::Path, Qt::AscendingOrder);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->hide();
  // Rows of one height: the view never measures a hundred thousand rows.
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  list_->horizontalHeader()->setSectionResizeMode(PreviewModel::Kind, QHeaderView::Fixed);
  list_->horizontalHeader()->setSectionResizeMode(PreviewModel::Size, QHeaderView::Fixed);
  list_->setColumnWidth(PreviewModel::Kind, 90);
  list_->setColumnWidth(PreviewModel::Size, 110);
  list_->horizontalHeader()->setStretchLastSection(true);

  backUp_ = new QPushButton(QStringLiteral("&Zálohovat"), this);
  backUp_->setObjectName(QStringLiteral("BBZalohovat"));
  connect(backUp_, &QPushButton::clicked, this, [this] {
    close();
    emit backUpRequested();
  });

  auto* closeKey = new QShortcut(QKeySequence::Cancel, this);
  connect(closeKey, &QShortcut::activated, this, &QWidget::close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(list_, 1);
  layout->addWidget(backUp_, 0, Qt::AlignRight);
}

}  // namespace tavro
