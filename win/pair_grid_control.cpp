#include "win/pair_grid_control.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/windows_text.h"
#include "win/window_controls.h"

namespace tavro::win {

namespace {

bool down(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

}  // namespace

PairGridControl::PairGridControl(HWND list, PairGrid& grid, std::function<bool()> confirmDelete)
    : list_(list), grid_(grid), confirmDelete_(std::move(confirmDelete)) {
  ::SetWindowSubclass(list_, listProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

PairGridControl::~PairGridControl() {
  for (HWND editor : {editor_, ended_}) {
    if (editor != nullptr && ::IsWindow(editor)) ::DestroyWindow(editor);
  }
  ::RemoveWindowSubclass(list_, listProcedure, 0);
}

void PairGridControl::show() {
  filling_ = true;
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  const int rows = grid_.rowCount();
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < PairGrid::kColumns; ++column) {
      std::wstring text = windows::wide(grid_.cellText(row, column));
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = row;
      item.iSubItem = column;
      item.pszText = text.data();
      ::SendMessageW(list_, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW,
                     static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
  }
  const int current = grid_.currentRow();
  if (current >= 0 && current < rows) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(current),
                   reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(current), FALSE);
  }
  ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, TRUE);
  filling_ = false;
}

void PairGridControl::setEditingEnabled(bool enabled) {
  if (!enabled && editor_ != nullptr) endEdit(false);
  editing_ = enabled;
  grid_.setEditable(enabled);
}

LRESULT PairGridControl::notify(NMHDR& header) {
  if (header.code != NM_CUSTOMDRAW) return 0;
  // The current cell is marked, not the whole row: a cell is what the keys
  // and the editor work on.
  auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      draw.nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      draw.nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
      const bool current =
          static_cast<int>(draw.nmcd.dwItemSpec) == grid_.currentRow() && draw.iSubItem == column_;
      const bool focused = ::GetFocus() == list_;
      draw.clrText = ::GetSysColor(current && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
      draw.clrTextBk =
          ::GetSysColor(current ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW);
      return CDRF_NEWFONT;
    }
    default: return CDRF_DODEFAULT;
  }
}

LRESULT CALLBACK PairGridControl::listProcedure(HWND list, UINT message, WPARAM w, LPARAM l,
                                                UINT_PTR, DWORD_PTR self) {
  LRESULT result = 0;
  if (reinterpret_cast<PairGridControl*>(self)->listMessage(message, w, l, result)) return result;
  result = ::DefSubclassProc(list, message, w, l);
  if (message == WM_PAINT) reinterpret_cast<PairGridControl*>(self)->paintHint();
  return result;
}

LRESULT CALLBACK PairGridControl::editorProcedure(HWND editor, UINT message, WPARAM w, LPARAM l,
                                                  UINT_PTR, DWORD_PTR self) {
  if (message == WM_GETDLGCODE) {
    // Enter, Esc and Tab are the grid's keys, not the window's.
    return ::DefSubclassProc(editor, message, w, l) | DLGC_WANTALLKEYS;
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(editor, editorProcedure, 0);
  if (reinterpret_cast<PairGridControl*>(self)->editorMessage(editor, message, w)) return 0;
  return ::DefSubclassProc(editor, message, w, l);
}

bool PairGridControl::listMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result) {
  switch (message) {
    case WM_GETDLGCODE: result = DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS; return true;
    case WM_KEYDOWN: return key(w);
    case WM_CHAR:
      // Typing starts an edit of the current cell; other characters (the
      // list's search by first letter) do nothing.
      if (editing_ && w >= 0x20 && w != 0x7f && grid_.rowCount() > 0) {
        const wchar_t typed[] = {static_cast<wchar_t>(w), 0};
        startEdit(typed);
      }
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: click(l); return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: ::SetFocus(list_); return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(list_, nullptr, FALSE);
      if (message == WM_KILLFOCUS) focusLeft(reinterpret_cast<HWND>(w));
      return false;
    default: return false;
  }
}

void PairGridControl::paintHint() {
  if (emptyHint_.empty() || ::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0) != 0) return;
  RECT area;
  ::GetClientRect(list_, &area);
  RECT header{};
  ::GetWindowRect(reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETHEADER, 0, 0)), &header);
  const int dpi = static_cast<int>(::GetDpiForWindow(list_));
  ::InflateRect(&area, -scaled(16, dpi), 0);
  area.top += header.bottom - header.top + scaled(24, dpi);
  HDC dc = ::GetDC(list_);
  HGDIOBJ before =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list_, WM_GETFONT, 0, 0)));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
  ::DrawTextW(dc, emptyHint_.c_str(), static_cast<int>(emptyHint_.size()), &area,
              DT_CENTER | DT_WORDBREAK);
  ::SelectObject(dc, before);
  ::ReleaseDC(list_, dc);
}

bool PairGridControl::key(WPARAM key) {
  const bool ctrl = down(VK_CONTROL), shift = down(VK_SHIFT);
  const int row = grid_.currentRow(), rows = grid_.rowCount();
  if (key == VK_TAB) {
    if (ctrl) {
      leave(!shift);
    } else {
      tab(!shift);
    }
    return true;
  }
  const int page = std::max(1, static_cast<int>(::SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0)));
  switch (key) {
    case VK_UP: moveTo(row - 1, column_); return true;
    case VK_PRIOR: moveTo(std::max(0, row - page), column_); return true;
    case VK_NEXT: moveTo(std::min(rows - 1, row + page), column_); return true;
    case VK_HOME: moveTo(ctrl ? 0 : row, 0); return true;
    case VK_END: moveTo(ctrl ? rows - 1 : row, PairGrid::kColumns - 1); return true;
    case VK_LEFT: moveTo(row, column_ - 1); return true;
    case VK_RIGHT: moveTo(row, column_ + 1); return true;
    case VK_DOWN:
      if (editing_ && rows > 0 && row == rows - 1) {
        grid_.appendRow();
        show();
      } else {
        moveTo(row + 1, column_);
      }
      return true;
    default: break;
  }
  if (!editing_) return false;
  switch (key) {
    case VK_INSERT:
      if (ctrl) return false;
      grid_.insertRow();
      show();
      return true;
    case VK_DELETE:
      if (!ctrl) return false;
      removeAfterQuestion();
      return true;
    case VK_ESCAPE:
      grid_.cancelRow();
      show();
      return true;
    case VK_RETURN:
    case VK_F2: startEdit(); return true;
    default: return false;
  }
}

void PairGridControl::click(LPARAM at) {
  LVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  ::SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  ::SetFocus(list_);
  if (hit.iItem < 0 || hit.iSubItem < 0) return;
  const int before = grid_.rowCount();
  moveTo(hit.iItem, hit.iSubItem);
  // A click opens the cell's editor at once, unless the row it was on went
  // (an untouched new row above it): the cell under the pointer is another.
  if (grid_.rowCount() == before) startEdit();
}

void PairGridControl::moveTo(int row, int column) {
  const int rows = grid_.rowCount();
  if (rows == 0) return;
  row = std::clamp(row, 0, rows - 1);
  column_ = std::clamp(column, 0, PairGrid::kColumns - 1);
  if (row != grid_.currentRow()) {
    grid_.moveToRow(row);
    show();
  } else {
    ::InvalidateRect(list_, nullptr, FALSE);
  }
  ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(grid_.currentRow()), FALSE);
}

void PairGridControl::tab(bool forward) {
  // From cell to cell, on into the next row (or back into the one before),
  // the next cell's editor opened as a click would.
  const int rows = grid_.rowCount();
  if (rows == 0) return;
  int cell = grid_.currentRow() * PairGrid::kColumns + column_ + (forward ? 1 : -1);
  const int cells = rows * PairGrid::kColumns;
  cell = (cell + cells) % cells;
  const int before = rows;
  moveTo(cell / PairGrid::kColumns, cell % PairGrid::kColumns);
  if (editing_ && grid_.rowCount() == before) startEdit();
}

void PairGridControl::leave(bool forward) {
  HWND next = ::GetNextDlgTabItem(::GetParent(list_), list_, forward ? FALSE : TRUE);
  if (next != nullptr && next != list_) ::SetFocus(next);
}

void PairGridControl::startEdit(const wchar_t* typed) {
  if (!editing_ || editor_ != nullptr) return;
  const int row = grid_.currentRow();
  if (row < 0 || row >= grid_.rowCount()) return;
  ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  RECT cell{};
  cell.top = column_;
  cell.left = column_ == 0 ? LVIR_LABEL : LVIR_BOUNDS;
  ::SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&cell));
  const std::wstring text = typed != nullptr ? typed : windows::wide(grid_.cellText(row, column_));
  editRow_ = row;
  editor_ = ::CreateWindowExW(0, L"EDIT", text.c_str(), WS_CHILD | WS_BORDER | ES_AUTOHSCROLL,
                              cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top,
                              list_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(editor_, WM_SETFONT, ::SendMessageW(list_, WM_GETFONT, 0, 0), FALSE);
  ::SetWindowSubclass(editor_, editorProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
  if (typed != nullptr) {
    // What was typed replaces the cell's text and counts as typing.
    ::SendMessageW(editor_, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
    ::SendMessageW(editor_, EM_SETMODIFY, TRUE, 0);
  } else {
    // Wine counts the text an editor is made with as typing.
    ::SendMessageW(editor_, EM_SETSEL, 0, -1);
    ::SendMessageW(editor_, EM_SETMODIFY, FALSE, 0);
  }
  ::ShowWindow(editor_, SW_SHOW);
  ::SetFocus(editor_);
}

void PairGridControl::endEdit(bool keep, bool losingFocus) {
  if (editor_ == nullptr) return;
  HWND editor = editor_;
  editor_ = nullptr;  // its losing the focus below ends nothing again
  const std::string text = textOf(editor);
  if (losingFocus) {
    // Not destroyed inside its own message: it goes once that is done.
    ::ShowWindow(editor, SW_HIDE);
    ::PostMessageW(editor, WM_CLOSE, 0, 0);
    ended_ = editor;
  } else {
    if (::GetFocus() == editor) ::SetFocus(list_);
    ::DestroyWindow(editor);
  }
  if (keep) grid_.setCellText(editRow_, column_, text);
  show();
}

bool PairGridControl::editorMessage(HWND editor, UINT message, WPARAM w) {
  // An editor already ended only waits to go.
  if (editor != editor_) return false;
  switch (message) {
    case WM_KEYDOWN: {
      const bool ctrl = down(VK_CONTROL);
      switch (w) {
        case VK_RETURN: endEdit(true); return true;
        case VK_ESCAPE: {
          // Esc undoes the typing in the cell; with none, the row's changes.
          const bool typed = ::SendMessageW(editor_, EM_GETMODIFY, 0, 0) != 0;
          endEdit(false);
          if (!typed) {
            grid_.cancelRow();
            show();
          }
          return true;
        }
        case VK_DELETE:
          if (!ctrl) return false;
          // Not "delete the next word": the row goes after the question,
          // the typing so far kept in it.
          endEdit(true);
          removeAfterQuestion();
          return true;
        case VK_TAB:
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
          endEdit(true);
          key(w);
          return true;
        default: return false;
      }
    }
    case WM_CHAR:
      // The keys above have characters too; the editor would beep at them.
      return w == '\t' || w == '\r' || w == '\n' || w == 0x1b || w == 0x7f;
    case WM_KILLFOCUS: {
      HWND to = reinterpret_cast<HWND>(w);
      endEdit(true, true);
      if (to != list_) focusLeft(to);
      return false;
    }
    default: return false;
  }
}

void PairGridControl::removeAfterQuestion() {
  asking_ = true;
  const bool removed = grid_.removeAfterQuestion(confirmDelete_);
  asking_ = false;
  if (removed) show();
}

void PairGridControl::focusLeft(HWND to) {
  if (asking_ || ours(to) || filling_) return;
  const int before = grid_.rowCount();
  grid_.dropUntouchedNewRow();
  if (grid_.rowCount() != before) show();
}

}  // namespace tavro::win
