#include "app/pair_grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

#include "app/pair_grid_model.h"

namespace tavro {

namespace {

constexpr QAbstractItemView::EditTriggers kEditTriggers =
    QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
    QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
    QAbstractItemView::EditKeyPressed;

// Ctrl+Tab (and Ctrl+Shift+Tab) leaves the grid, whose Tab moves between cells.
bool isCtrlTab(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
         (key->modifiers() & Qt::ControlModifier);
}

bool isCtrlDelete(const QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->key() == Qt::Key_Delete && (key->modifiers() & Qt::ControlModifier);
}

// Hands Ctrl+Delete in a cell editor to the grid, which asks before removing
// the row; a line editor would otherwise take it for "delete the next word".
class CellDelegate final : public QStyledItemDelegate {
 public:
  explicit CellDelegate(PairGridView& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (isCtrlTab(event)) {
      auto* editor = qobject_cast<QWidget*>(object);
      emit commitData(editor);
      emit closeEditor(editor, QAbstractItemDelegate::NoHint);
      grid_.leaveWithCtrlTab(static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab);
      return true;
    }
    if (isCtrlDelete(event)) {
      if (event->type() == QEvent::KeyPress)
        grid_.removeAfterQuestion(qobject_cast<QWidget*>(object));
      event->accept();
      return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  PairGridView& grid_;
};

}  // namespace

PairGridView::PairGridView(PairGridModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setModel(&model_);
  setItemDelegate(new CellDelegate(*this));
  setColumnWidths();
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(kEditTriggers);
  setTabKeyNavigation(true);
}

void PairGridView::setColumnWidths() {
  // 183, 183 and 73 pixels, except that the state column holds "Neprovedeno"
  // whole in the font in use, and the path columns give up what it takes.
  const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const int state =
      std::max(73, fontMetrics().horizontalAdvance(QStringLiteral("Neprovedeno")) + margin + 2);
  const int path = 183 - (state - 73 + 1) / 2;
  setColumnWidth(0, path);
  setColumnWidth(1, path);
  setColumnWidth(2, state);
}

void PairGridView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) setColumnWidths();
}

void PairGridView::setEditingEnabled(bool enabled) {
  editing_ = enabled;
  model_.setEditable(enabled);
  setEditTriggers(enabled ? kEditTriggers : QAbstractItemView::NoEditTriggers);
  // A reset closes an open cell editor; with the model read-only its text
  // is not assigned.
  if (!enabled) model_.refresh();
}

void PairGridView::followTable() {
  const int row = model_.currentViewRow();
  const int column = std::max(0, currentIndex().column());
  following_ = true;
  const auto triggers = editTriggers();
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  if (row >= 0) setCurrentIndex(model_.index(row, column));
  setEditTriggers(triggers);
  following_ = false;
}

void PairGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (following_ || !current.isValid() || current.row() == previous.row()) {
    QTableView::currentChanged(current, previous);
    return;
  }
  // The table moves first (storing or dropping the row left), so that an
  // editor opened on the new row edits the table's current row.
  const int rowsBefore = model_.rowCount();
  model_.moveToRow(current.row());
  if (model_.rowCount() != rowsBefore) {
    followTable();
    return;
  }
  QTableView::currentChanged(current, previous);
}

void PairGridView::leaveWithCtrlTab(bool forward) { QWidget::focusNextPrevChild(forward); }

void PairGridView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (emptyHint_.isEmpty() || model_.rowCount() > 0) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12),
                   Qt::AlignCenter | Qt::TextWordWrap, emptyHint_);
}

void PairGridView::keyPressEvent(QKeyEvent* event) {
  if (isCtrlTab(event)) {
    leaveWithCtrlTab(event->key() == Qt::Key_Tab);
    return;
  }
  if (!editing_) {
    QTableView::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Insert:
      if (ctrl) break;
      model_.insertRow();
      followTable();
      return;
    case Qt::Key_Delete:
      if (!ctrl) break;
      removeAfterQuestion();
      return;
    case Qt::Key_Escape:
      model_.cancelRow();
      followTable();
      return;
    case Qt::Key_Down:
      if (currentIndex().row() == model_.rowCount() - 1) {
        model_.appendRow();
        followTable();
        return;
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (state() != QAbstractItemView::EditingState && currentIndex().isValid()) {
        edit(currentIndex());
        return;
      }
      break;
    default: break;
  }
  QTableView::keyPressEvent(event);
}

void PairGridView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  // A cell editor takes the focus too; only leaving the view for good drops
  // an untouched new row. The delete question takes it for a moment only.
  QTimer::singleShot(0, this, [this] {
    if (asking_) return;
    QWidget* focus = QApplication::focusWidget();
    if (focus == this || (focus != nullptr && isAncestorOf(focus))) return;
    model_.dropUntouchedNewRow();
    followTable();
  });
}

void PairGridView::removeAfterQuestion(QWidget* editor) {
  if (!editing_ || model_.rowCount() == 0) return;
  if (editor != nullptr) {
    // The typing so far stays in the row; the editor goes before the
    // question takes the focus from it.
    commitData(editor);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  asking_ = true;
  model_.removeAfterQuestion([this] { return !confirmDelete_ || confirmDelete_(); });
  asking_ = false;
  followTable();
}

void PairGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  // Esc reverts the typing in the cell; with none pending it drops the
  // changes of the whole row, as Esc outside an editor does.
  const auto* line = qobject_cast<const QLineEdit*>(editor);
  const bool dropRow =
      hint == QAbstractItemDelegate::RevertModelCache && line != nullptr && !line->isModified();
  QTableView::closeEditor(editor, hint);
  if (dropRow) {
    model_.cancelRow();
    followTable();
  }
}

}  // namespace tavro
