#include "app/restore_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <initializer_list>
#include <vector>

#include "app/local_text.h"

namespace tavro {

namespace {

constexpr int kRowRole = Qt::UserRole;

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

RestoreDialog::RestoreDialog(RestoreView& view, RestoreHooks hooks, QWidget* parent)
    : QDialog(parent), view_(view), hooks_(std::move(hooks)) {
  hooks_.busy = [this](bool busy) {
    progress_->setVisible(busy);
    stop_->setVisible(busy);
    // Only "Přerušit" answers while the restore copies.
    for (QWidget* control :
         std::initializer_list<QWidget*>{points_, filter_, tree_, inPlace_, elsewhere_, close_}) {
      control->setEnabled(!busy);
    }
    if (busy) {
      stopRequested_ = false;
      stop_->setFocus();
    } else if (closeWhenDone_) {
      QDialog::reject();
    }
  };
  hooks_.progress = [this](int done, int total) {
    progress_->setMaximum(std::max(1, total));
    progress_->setValue(done);
    QApplication::processEvents();
    return !stopRequested_;
  };
  setObjectName(QStringLiteral("RestoreDialog"));
  setWindowTitle(QStringLiteral("Obnovit ze zálohy"));
  resize(860, 520);

  auto* pair = new QLabel(localText(view_.pair().source + "  ->  " + view_.pair().target), this);
  pair->setObjectName(QStringLiteral("LPair"));
  auto* pointsLabel = new QLabel(QStringLiteral("Stav zálohy"), this);
  points_ = new QListWidget(this);
  points_->setObjectName(QStringLiteral("LBPoints"));
  for (const RestorePoint& point : view_.points()) {
    points_->addItem(QString::fromUtf8(RestoreView::pointText(point)));
  }
  points_->setMinimumWidth(
      points_->fontMetrics().horizontalAdvance(QStringLiteral("Před zálohou 00.00.0000 00:00:00")) +
      24);
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("EFilter"));
  filter_->setPlaceholderText(QStringLiteral("Hledat podle jména"));
  filter_->setClearButtonEnabled(true);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("TVFiles"));
  tree_->setHeaderLabels(
      {QStringLiteral("Soubor"), QStringLiteral("Velikost (B)"), QStringLiteral("Změněno")});
  tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tree_->setUniformRowHeights(true);
  tree_->header()->setStretchLastSection(false);
  tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  tree_->setColumnWidth(1, 110);
  tree_->setColumnWidth(2, 130);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("PBRestore"));
  progress_->hide();
  inPlace_ = button(QStringLiteral("BBInPlace"), QStringLiteral("Obnovit na původní místo"), this);
  elsewhere_ = button(QStringLiteral("BBElsewhere"), QStringLiteral("Obnovit do…"), this);
  close_ = button(QStringLiteral("BBClose"), QStringLiteral("Zavřít"), this);
  stop_ = button(QStringLiteral("BBStop"), QStringLiteral("Přerušit"), this);
  stop_->hide();
  auto* hint = new QLabel(
      QStringLiteral("Bez výběru se obnoví celá dvojice. Více položek vyberete s Ctrl nebo Shift."),
      this);
  hint->setWordWrap(true);

  auto* left = new QVBoxLayout;
  left->addWidget(pointsLabel);
  left->addWidget(points_);
  auto* right = new QVBoxLayout;
  right->addWidget(filter_);
  right->addWidget(tree_);
  auto* middle = new QHBoxLayout;
  middle->addLayout(left, 0);
  middle->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hint, 1);
  buttons->addWidget(inPlace_);
  buttons->addWidget(elsewhere_);
  buttons->addWidget(close_);
  auto* all = new QVBoxLayout(this);
  all->addWidget(pair);
  all->addLayout(middle, 1);
  auto* busy = new QHBoxLayout;
  busy->addWidget(progress_, 1);
  busy->addWidget(stop_);
  all->addLayout(busy);
  all->addLayout(buttons);

  connect(points_, &QListWidget::currentRowChanged, this, &RestoreDialog::showPoint);
  connect(filter_, &QLineEdit::textChanged, this, &RestoreDialog::showTree);
  connect(inPlace_, &QPushButton::clicked, this, &RestoreDialog::restoreInPlace);
  connect(elsewhere_, &QPushButton::clicked, this, &RestoreDialog::restoreElsewhere);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  points_->setCurrentRow(std::max(0, view_.chosenPoint()));
  showTree();
}

void RestoreDialog::showPoint(int index) {
  if (index < 0 || index == view_.chosenPoint()) return;
  view_.choosePoint(index);
  showTree();
}

void RestoreDialog::showTree() {
  tree_->clear();
  const auto& rows = view_.rows();
  const std::vector<int> shown = view_.shownRows(localBytes(filter_->text()));
  // Rows come folders first, each folder before what it holds: the parent
  // of a row is the last folder shown one level up.
  std::vector<QTreeWidgetItem*> parents;
  for (int index : shown) {
    const RestoreView::Row& row = rows[static_cast<std::size_t>(index)];
    const auto depth = static_cast<std::size_t>(row.depth);
    parents.resize(std::min(parents.size(), depth));
    auto* item = parents.empty() || parents.size() < depth ? new QTreeWidgetItem(tree_)
                                                           : new QTreeWidgetItem(parents.back());
    item->setText(0, localText(row.name));
    item->setText(1, QString::fromUtf8(row.size));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, QString::fromUtf8(row.modified));
    item->setData(0, kRowRole, index);
    item->setIcon(0, style()->standardIcon(row.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
    if (row.folder) parents.push_back(item);
  }
  if (!filter_->text().isEmpty()) tree_->expandAll();
}

std::vector<int> RestoreDialog::chosenRows() const {
  std::vector<int> chosen;
  for (const QTreeWidgetItem* item : tree_->selectedItems()) {
    chosen.push_back(item->data(0, kRowRole).toInt());
  }
  return chosen;
}

void RestoreDialog::reject() {
  // Esc, the title bar's close or the end of the session while it copies:
  // the restore stops first, and the dialog goes once it has.
  if (view_.restoring()) {
    stopRequested_ = true;
    closeWhenDone_ = true;
    return;
  }
  QDialog::reject();
}

void RestoreDialog::restoreInPlace() { view_.restoreInPlaceAsking(chosenRows(), hooks_); }

void RestoreDialog::restoreElsewhere() { view_.restoreElsewhereAsking(chosenRows(), hooks_); }

}  // namespace tavro
