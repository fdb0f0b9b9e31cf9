#include "app/folder_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tavro {

bool FolderDialog::execute() {
  const auto chosen = hook_ ? hook_(caption_, label_, path_) : show();
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
  if (!path_.isEmpty()) {
    const QModelIndex start = model->index(path_);
    if (start.isValid()) {
      tree->setCurrentIndex(start);
      tree->scrollTo(start);
    }
  }
  if (dialog.exec() != QDialog::Accepted || selected->text().isEmpty()) return std::nullopt;
  return selected->text();
}

}  // namespace tavro
