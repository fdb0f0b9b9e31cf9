#include "win/restore_window.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/windows_text.h"
#include "win/window_controls.h"

namespace tavro::win {

namespace {

constexpr wchar_t kClassName[] = L"TavroRestore";
constexpr int kPointsId = 11;
constexpr int kFilterId = 12;
constexpr int kInPlaceId = 13;
constexpr int kElsewhereId = 14;
constexpr int kStopId = 15;

}  // namespace

void RestoreWindow::run(HWND owner, RestoreView& view, RestoreHooks hooks) {
  RestoreWindow restore(owner, view, std::move(hooks));
  // Modal: the owner takes no input until this window is closed.
  ::EnableWindow(owner, FALSE);
  MSG message;
  while (!restore.done_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(restore.window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  if (!restore.done_) ::PostQuitMessage(static_cast<int>(message.wParam));  // passed on
  ::EnableWindow(owner, TRUE);
  if (restore.window_ != nullptr) ::DestroyWindow(restore.window_);
  ::SetForegroundWindow(owner);
}

RestoreWindow::RestoreWindow(HWND owner, RestoreView& view, RestoreHooks hooks)
    : view_(view), hooks_(std::move(hooks)) {
  registerWindowClass(kClassName, &RestoreWindow::procedure, owner);
  const int dpi = static_cast<int>(::GetDpiForWindow(owner));
  font_ = makeFont(8, dpi);
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kClassName,
                              L"Obnovit ze zálohy", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                              CW_USEDEFAULT, CW_USEDEFAULT, scaled(860, dpi), scaled(520, dpi),
                              owner, nullptr, ::GetModuleHandleW(nullptr), this);
  const auto child = [this](DWORD exStyle, const wchar_t* cls, const std::wstring& text,
                            DWORD style, int id) {
    return makeChild(window_, font_, exStyle, cls, text.c_str(), style, id);
  };

  pair_ = child(0, L"STATIC", windows::wide(view_.pair().source + "  ->  " + view_.pair().target),
                SS_PATHELLIPSIS, 0);
  pointsLabel_ = child(0, L"STATIC", L"Stav zálohy", 0, 0);
  points_ = child(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                  LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, kPointsId);
  for (const RestorePoint& point : view_.points()) {
    ::SendMessageW(points_, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(windows::wide(RestoreView::pointText(point)).c_str()));
  }
  ::SendMessageW(points_, LB_SETCURSEL, static_cast<WPARAM>(std::max(0, view_.chosenPoint())), 0);
  filter_ = child(WS_EX_CLIENTEDGE, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, kFilterId);
  ::SendMessageW(filter_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Hledat podle jména"));
  tree_ =
      child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, 0);
  ::SendMessageW(tree_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  const wchar_t* headings[] = {L"Soubor", L"Velikost (B)", L"Změněno"};
  const int widths[] = {300, 110, 130};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW heading{};
    heading.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    heading.fmt = column == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    heading.pszText = const_cast<wchar_t*>(headings[column]);
    heading.cx = scaled(widths[column], dpi);
    ::SendMessageW(tree_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&heading));
  }
  progress_ = child(0, PROGRESS_CLASSW, L"", 0, 0);
  ::ShowWindow(progress_, SW_HIDE);
  hint_ =
      child(0, L"STATIC",
            L"Bez výběru se obnoví celá dvojice. Více položek vyberete s Ctrl nebo Shift.", 0, 0);
  inPlace_ =
      child(0, L"BUTTON", L"Obnovit na původní místo", BS_PUSHBUTTON | WS_TABSTOP, kInPlaceId);
  elsewhere_ = child(0, L"BUTTON", L"Obnovit do…", BS_PUSHBUTTON | WS_TABSTOP, kElsewhereId);
  close_ = child(0, L"BUTTON", L"Zavřít", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
  stop_ = child(0, L"BUTTON", L"Přerušit", BS_PUSHBUTTON | WS_TABSTOP, kStopId);
  ::ShowWindow(stop_, SW_HIDE);

  hooks_.busy = [this](bool busy) {
    ::ShowWindow(progress_, busy ? SW_SHOW : SW_HIDE);
    ::ShowWindow(stop_, busy ? SW_SHOW : SW_HIDE);
    for (HWND control : {points_, filter_, tree_, inPlace_, elsewhere_, close_}) {
      ::EnableWindow(control, !busy);
    }
    layOut();
    if (busy) {
      stopRequested_ = false;
      ::SetFocus(stop_);
    }
  };
  hooks_.progress = [this](int done, int total) {
    ::SendMessageW(progress_, PBM_SETRANGE32, 0, std::max(1, total));
    ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    // Paints, and answers "Přerušit" (a click, or Esc while it has the
    // focus); the rest of the user's input waits for the end.
    MSG message;
    while (::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
      ::DispatchMessageW(&message);
    }
    while (::PeekMessageW(&message, stop_, 0, 0, PM_REMOVE)) {
      if (::IsDialogMessageW(window_, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    return !stopRequested_;
  };
  showTree();
  layOut();
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ::SetFocus(tree_);
}

void RestoreWindow::layOut() {
  RECT inside;
  ::GetClientRect(window_, &inside);
  const int dpi = static_cast<int>(::GetDpiForWindow(window_));
  const int margin = scaled(8, dpi), line = scaled(20, dpi), button = scaled(28, dpi);
  const int left = scaled(220, dpi);
  const int width = inside.right - 2 * margin;
  const int bottom = inside.bottom - margin - button;
  ::MoveWindow(pair_, margin, margin, width, line, TRUE);
  const int top = margin + line + scaled(4, dpi);
  ::MoveWindow(pointsLabel_, margin, top, left, line, TRUE);
  const int listTop = top + line + scaled(4, dpi);
  // The row of the bar and "Přerušit" takes its room only while it is shown.
  const int busyRow = ::IsWindowVisible(stop_) ? button + margin : 0;
  const int listBottom = bottom - margin - busyRow;
  ::MoveWindow(points_, margin, listTop, left, std::max(0, listBottom - listTop), TRUE);
  const int right = margin + left + margin;
  ::MoveWindow(filter_, right, top, inside.right - margin - right, line + scaled(2, dpi), TRUE);
  const int treeWidth = inside.right - margin - right;
  ::MoveWindow(tree_, right, listTop, treeWidth, std::max(0, listBottom - listTop), TRUE);
  // The name takes what the size and the time leave.
  const int nameWidth =
      treeWidth - scaled(110 + 130 + 8, dpi) - ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi);
  ::SendMessageW(tree_, LVM_SETCOLUMNWIDTH, 0, std::max(scaled(120, dpi), nameWidth));
  const int closeWidth = scaled(80, dpi), elsewhereWidth = scaled(100, dpi),
            inPlaceWidth = scaled(160, dpi), barHeight = scaled(16, dpi);
  // The bar and "Přerušit" beside it, on a row of their own above the buttons.
  ::MoveWindow(progress_, margin, listBottom + margin + (button - barHeight) / 2,
               std::max(0, width - margin - closeWidth), barHeight, TRUE);
  ::MoveWindow(stop_, inside.right - margin - closeWidth, listBottom + margin, closeWidth, button,
               TRUE);
  int x = inside.right - margin - closeWidth;
  ::MoveWindow(close_, x, bottom, closeWidth, button, TRUE);
  x -= margin + elsewhereWidth;
  ::MoveWindow(elsewhere_, x, bottom, elsewhereWidth, button, TRUE);
  x -= margin + inPlaceWidth;
  ::MoveWindow(inPlace_, x, bottom, inPlaceWidth, button, TRUE);
  ::MoveWindow(hint_, margin, bottom + scaled(6, dpi), std::max(0, x - 2 * margin), line, TRUE);
}

void RestoreWindow::showTree() {
  ::SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(tree_, LVM_DELETEALLITEMS, 0, 0);
  const auto& rows = view_.rows();
  int at = 0;
  for (int index : view_.shownRows(textOf(filter_))) {
    const RestoreView::Row& row = rows[static_cast<std::size_t>(index)];
    std::wstring name = windows::wide(row.folder ? row.name + "\\" : row.name);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_INDENT;
    item.iItem = at;
    item.iIndent = row.depth;
    item.lParam = index;
    item.pszText = name.data();
    ::SendMessageW(tree_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int column = 1; column < 3; ++column) {
      std::wstring text = windows::wide(column == 1 ? row.size : row.modified);
      LVITEMW cell{};
      cell.iSubItem = column;
      cell.pszText = text.data();
      ::SendMessageW(tree_, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                     reinterpret_cast<LPARAM>(&cell));
    }
    ++at;
  }
  ::SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(tree_, nullptr, TRUE);
}

std::vector<int> RestoreWindow::chosenRows() const {
  std::vector<int> chosen;
  int at = -1;
  while ((at = static_cast<int>(::SendMessageW(tree_, LVM_GETNEXTITEM, static_cast<WPARAM>(at),
                                               LVNI_SELECTED))) >= 0) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = at;
    ::SendMessageW(tree_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    chosen.push_back(static_cast<int>(item.lParam));
  }
  return chosen;
}

LRESULT CALLBACK RestoreWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = objectOf<RestoreWindow>(window, message, l);
  if (self == nullptr) return ::DefWindowProcW(window, message, w, l);
  self->window_ = window;
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    self->done_ = true;
    return ::DefWindowProcW(window, message, w, l);
  }
  return self->handle(message, w, l);
}

void RestoreWindow::close() {
  // Esc or Alt+F4 while it copies: the restore stops first, and the window
  // goes once it has.
  if (view_.restoring()) {
    stopRequested_ = true;
    closeWhenDone_ = true;
    return;
  }
  ::DestroyWindow(window_);
}

LRESULT RestoreWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      if (close_ != nullptr) layOut();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case kPointsId:
          if (HIWORD(w) == LBN_SELCHANGE) {
            const auto index = static_cast<int>(::SendMessageW(points_, LB_GETCURSEL, 0, 0));
            if (index >= 0 && index != view_.chosenPoint()) {
              view_.choosePoint(index);
              showTree();
            }
          }
          break;
        case kFilterId:
          if (HIWORD(w) == EN_CHANGE) showTree();
          break;
        case kInPlaceId:
          view_.restoreInPlaceAsking(chosenRows(), hooks_);
          if (closeWhenDone_) ::DestroyWindow(window_);
          break;
        case kElsewhereId:
          view_.restoreElsewhereAsking(chosenRows(), hooks_);
          if (closeWhenDone_) ::DestroyWindow(window_);
          break;
        case kStopId: stopRequested_ = true; break;
        case IDCANCEL: close(); break;
        default: break;
      }
      return 0;
    case WM_CLOSE: close(); return 0;
    case WM_DESTROY:
      if (font_ != nullptr) ::DeleteObject(font_);
      font_ = nullptr;
      return 0;
    default: break;
  }
  return ::DefWindowProcW(window_, message, w, l);
}

}  // namespace tavro::win
