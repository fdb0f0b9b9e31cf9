#include "app/folder_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/local_text.h"

namespace tavro {

namespace {

// Keeps the tree scrolled to the folder the dialog opens at while the model
// reads the folders on the way there in the background (rows come in and are
// sorted after the first scroll), until the user clicks, scrolls or types.
class StayOnStart final : public QObject {
 public:
  StayOnStart(QTreeView& tree, const QPersistentModelIndex& start)
      : QObject(&tree), tree_(tree), start_(start) {
    QAbstractItemModel* model = tree.model();
    // Queued: the model has finished its change when the view follows.
    connect(model, &QAbstractItemModel::rowsInserted, this, &StayOnStart::follow,
            Qt::QueuedConnection);
    connect(model, &QAbstractItemModel::layoutChanged, this, &StayOnStart::follow,
            Qt::QueuedConnection);
    for (QObject* input :
         std::initializer_list<QObject*>{&tree, tree.viewport(), tree.verticalScrollBar()}) {
      input->installEventFilter(this);
    }
    follow();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::Wheel:
      case QEvent::KeyPress: following_ = false; break;
      default: break;
    }
    return false;
  }

 private:
  void follow() {
    if (following_ && start_.isValid()) {
      tree_.scrollTo(start_, QAbstractItemView::PositionAtCenter);
    }
  }

  QTreeView& tree_;
  QPersistentModelIndex start_;
  bool following_ = true;
};

}  // namespace

bool FolderDialog::execute(const std::string& caption, const std::string& label) {
  setCaption(localText(caption));
  setLabel(localText(label));
  return execute();
}

std::string FolderDialog::path() const { return localBytes(path_); }

QString FolderDialog::startFolder() const {
  // Before any folder was confirmed, the user's own files are where a
  // source is most likely found, not the bare tree of "/".
  return path_.isEmpty() ? QDir::homePath() : path_;
}

bool FolderDialog::execute() {
  const auto chosen = hook_ ? hook_(caption_, label_, startFolder()) : show();
  if (!chosen) return false;
  path_ = *chosen;
  return true;
}

std::optional<QString> FolderDialog::show() {
  QDialog dialog(parent_);
  dialog.setObjectName(QStringLiteral("bd1"));
  dialog.setWindowTitle(caption_);
  dialog.resize(420, 460);
  auto* layout = new QVBoxLayout(&dialog);
  auto* label = new QLabel(label_, &dialog);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* selected = new QLineEdit(&dialog);
  selected->setReadOnly(true);
  layout->addWidget(selected);

  auto* model = new QFileSystemModel(&dialog);
  model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  model->setRootPath(QStringLiteral("/"));
  auto* tree = new QTreeView(&dialog);
  tree->setModel(model);
  tree->setRootIndex(model->index(QStringLiteral("/")));
  for (int column = 1; column < model->columnCount(); ++column) tree->hideColumn(column);
  tree->header()->hide();
  layout->addWidget(tree, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, &dialog,
                   [model, selected](const QModelIndex& current) {
                     selected->setText(model->filePath(current));
                   });
  if (const QPersistentModelIndex start = model->index(startFolder()); start.isValid()) {
    tree->setCurrentIndex(start);
    new StayOnStart(*tree, start);
  }
  if (dialog.exec() != QDialog::Accepted || selected->text().isEmpty()) return std::nullopt;
  return selected->text();
}

}  // namespace tavro
