#include "win/preview_window.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/windows_text.h"
#include "win/window_controls.h"

namespace tavro::win {

namespace {

constexpr wchar_t kClassName[] = L"TavroPreview";
constexpr int kBackUpId = 1;
// Posted to itself: the run starts once the click that asked for it is over
// and the preview has gone.
constexpr UINT kBackUpNow = WM_APP + 2;

PreviewWindow* open = nullptr;

}  // namespace

void PreviewWindow::show(HWND owner, std::vector<PairPreview> pairs, std::function<void()> backUp) {
  if (open != nullptr) ::DestroyWindow(open->window_);  // one at a time: the newest
  new PreviewWindow(owner, std::move(pairs), std::move(backUp));
}

PreviewWindow::PreviewWindow(HWND owner, std::vector<PairPreview> pairs,
                             std::function<void()> backUp)
    : owner_(owner), pairs_(std::move(pairs)), backUp_(std::move(backUp)) {
  registerWindowClass(kClassName, &PreviewWindow::procedure, owner);
  const int dpi = static_cast<int>(::GetDpiForWindow(owner));
  font_ = makeFont(8, dpi);
  rows_ = previewRows(pairs_);
  open = this;
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Náhled zálohy",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              scaled(820, dpi), scaled(520, dpi), owner_, nullptr,
                              ::GetModuleHandleW(nullptr), this);
  const auto child = [this](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style,
                            int id) {
    return makeChild(window_, font_, exStyle, cls, text, style, id);
  };
  summary_ = child(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                   LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_VSCROLL | WS_HSCROLL, 0);
  for (const auto& line : previewSummaryLines(pairs_)) {
    ::SendMessageW(summary_, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(windows::wide(line).c_str()));
  }
  list_ = child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP, 0);
  ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const int widths[] = {90, 110, 560};
  for (int column = 0; column < 3; ++column) {
    std::wstring heading = windows::wide(kPreviewHeadings[column]);
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    c.fmt = column == static_cast<int>(PreviewColumn::Size) ? LVCFMT_RIGHT : LVCFMT_LEFT;
    c.pszText = heading.data();
    c.cx = scaled(widths[column], dpi);
    ::SendMessageW(list_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
  }
  backUpButton_ = child(0, L"BUTTON", L"Zálohovat", BS_PUSHBUTTON | WS_TABSTOP, kBackUpId);
  sort();
  layOut();
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
}

void PreviewWindow::sortBy(PreviewColumn column) {
  // A second click on the same heading turns the order round.
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  sort();
}

void PreviewWindow::sort() {
  const PreviewColumn column = sortColumn_;
  const bool up = ascending_;
  std::stable_sort(rows_.begin(), rows_.end(),
                   [column, up](const PlannedEntry* a, const PlannedEntry* b) {
                     return up ? previewLess(*a, *b, column) : previewLess(*b, *a, column);
                   });
  ::SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
  ::InvalidateRect(list_, nullptr, FALSE);
}

void PreviewWindow::layOut() {
  RECT inside;
  ::GetClientRect(window_, &inside);
  const int dpi = static_cast<int>(::GetDpiForWindow(window_));
  const int margin = scaled(8, dpi), summaryHeight = scaled(120, dpi);
  const int buttonWidth = scaled(110, dpi), buttonHeight = scaled(28, dpi);
  const int width = inside.right - 2 * margin;
  ::MoveWindow(summary_, margin, margin, width, summaryHeight, TRUE);
  const int listTop = 2 * margin + summaryHeight;
  ::MoveWindow(list_, margin, listTop, width,
               std::max(0, static_cast<int>(inside.bottom) - listTop - 2 * margin - buttonHeight),
               TRUE);
  ::MoveWindow(backUpButton_, inside.right - margin - buttonWidth,
               inside.bottom - margin - buttonHeight, buttonWidth, buttonHeight, TRUE);
}

LRESULT CALLBACK PreviewWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = objectOf<PreviewWindow>(window, message, l);
  if (self == nullptr) return ::DefWindowProcW(window, message, w, l);
  self->window_ = window;
  if (message == WM_NCDESTROY) {
    if (open == self) open = nullptr;
    delete self;
    return ::DefWindowProcW(window, message, w, l);
  }
  return self->handle(message, w, l);
}

LRESULT PreviewWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_SIZE:
      if (list_ != nullptr) layOut();
      return 0;
    case WM_COMMAND:
      if (LOWORD(w) == kBackUpId && HIWORD(w) == BN_CLICKED) {
        // The owner starts the run once this window is gone.
        ::PostMessageW(window_, kBackUpNow, 0, 0);
        ::ShowWindow(window_, SW_HIDE);
      } else if (LOWORD(w) == IDCANCEL) {
        ::DestroyWindow(window_);
      }
      return 0;
    case kBackUpNow: {
      std::function<void()> backUp = std::move(backUp_);
      ::DestroyWindow(window_);  // deletes this
      if (backUp) backUp();
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->hwndFrom != list_) break;
      if (header->code == LVN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(l);
        if ((info->item.mask & LVIF_TEXT) != 0 && info->item.iItem >= 0 &&
            static_cast<std::size_t>(info->item.iItem) < rows_.size()) {
          const PlannedEntry& entry = *rows_[static_cast<std::size_t>(info->item.iItem)];
          cell_ =
              windows::wide(previewCell(entry, static_cast<PreviewColumn>(info->item.iSubItem)));
          info->item.pszText = cell_.data();
        }
      } else if (header->code == LVN_COLUMNCLICK) {
        sortBy(static_cast<PreviewColumn>(reinterpret_cast<const NMLISTVIEW*>(l)->iSubItem));
      }
      return 0;
    }
    case WM_DESTROY:
      if (font_ != nullptr) ::DeleteObject(font_);
      font_ = nullptr;
      return 0;
    default: break;
  }
  return ::DefWindowProcW(window_, message, w, l);
}

}  // namespace tavro::win
