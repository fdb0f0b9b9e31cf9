#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "program/pair_grid.h"

namespace tavro::win {

// The pair grid on Win32: a report list view edited in place through the
// core's grid. A click, F2 or Enter opens the current cell's editor, typing
// opens it with what was typed; Enter or leaving the cell assigns the text;
// Esc undoes the typing and, with none pending, drops the row's changes;
// Insert opens a new row before the current one, Down on the last row one
// after it; Ctrl+Delete removes the current row after a question; Tab moves
// from cell to cell and Ctrl+Tab leaves the grid.
class PairGridControl {
 public:
  // `list` is a report list view, kept by its parent; `confirmDelete` asks
  // before Ctrl+Delete removes a row.
  PairGridControl(HWND list, PairGrid& grid, std::function<bool()> confirmDelete);
  ~PairGridControl();
  PairGridControl(const PairGridControl&) = delete;
  PairGridControl& operator=(const PairGridControl&) = delete;

  // The list shows the grid as it is now, the current row selected.
  void show();
  // Editing on or off; an open editor closes without assigning its text.
  void setEditingEnabled(bool enabled);
  // A list view notification its parent received (WM_NOTIFY); the result
  // for the parent to return.
  LRESULT notify(NMHDR& header);

  HWND list() const { return list_; }
  // The open cell editor, or null.
  HWND editor() const { return editor_; }
  int currentColumn() const { return column_; }
  // What the empty grid says: how to add the first pair.
  void setEmptyHint(std::wstring hint) { emptyHint_ = std::move(hint); }

 private:
  static LRESULT CALLBACK listProcedure(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK editorProcedure(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  // True when the message was taken.
  bool listMessage(UINT message, WPARAM w, LPARAM l, LRESULT& result);
  bool editorMessage(HWND editor, UINT message, WPARAM w);
  void paintHint();
  // A key for the grid; true when it acted on it.
  bool key(WPARAM key);
  void click(LPARAM at);
  // Makes a cell current, storing or dropping the row left.
  void moveTo(int row, int column);
  void tab(bool forward);
  void leave(bool forward);
  // Opens the editor on the current cell, with `typed` as its text when
  // typing opened it, else the cell's text, all selected.
  void startEdit(const wchar_t* typed = nullptr);
  // Closes the editor, assigning its text when `keep`; the list takes the
  // focus back unless the editor is `losingFocus` to another window.
  void endEdit(bool keep, bool losingFocus = false);
  void removeAfterQuestion();
  // A new row left untouched goes when the focus leaves the grid.
  void focusLeft(HWND to);
  bool ours(HWND window) const { return window == list_ || (window && window == editor_); }

  HWND list_;
  PairGrid& grid_;
  std::function<bool()> confirmDelete_;
  std::wstring emptyHint_;
  HWND editor_ = nullptr;
  HWND ended_ = nullptr;  // an editor that lost the focus, about to go
  int editRow_ = -1;
  int column_ = 0;
  bool editing_ = true;
  bool asking_ = false;  // the delete question is open
  bool filling_ = false;
};

}  // namespace tavro::win
