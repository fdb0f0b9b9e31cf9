#include "win/window_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/windows_text.h"
#include "program/window_layout.h"
#include "schedule/settings_values.h"

namespace tavro::win {

namespace {

constexpr wchar_t kPanelClass[] = L"TavroPanel";

// What a control inside a frame or a group box says (a click, a change, its
// colours) goes on to the window, which handles them all.
bool forwardsToParent(UINT message) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: return true;
    default: return false;
  }
}

// The window decides a frame's colour as it does a label's.
LRESULT eraseAsTheWindowSays(HWND frame, HDC dc) {
  RECT inside;
  ::GetClientRect(frame, &inside);
  auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(frame), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(frame)));
  ::FillRect(dc, &inside, brush != nullptr ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
  return 1;
}

// The frames that hold controls: the clock's raised panel and the settings
// panel with its body.
LRESULT CALLBACK panelProcedure(HWND panel, UINT message, WPARAM w, LPARAM l) {
  if (forwardsToParent(message)) return ::SendMessageW(::GetParent(panel), message, w, l);
  if (message == WM_ERASEBKGND) return eraseAsTheWindowSays(panel, reinterpret_cast<HDC>(w));
  if (message == WM_PAINT && ::GetWindowLongPtrW(panel, GWLP_USERDATA) != 0) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(panel, &paint);
    RECT inside;
    ::GetClientRect(panel, &inside);
    ::DrawEdge(dc, &inside, EDGE_RAISED, BF_RECT);
    ::EndPaint(panel, &paint);
    return 0;
  }
  return ::DefWindowProcW(panel, message, w, l);
}

// A group box is a button, which keeps what its controls say to itself and
// paints nothing behind them.
LRESULT CALLBACK groupProcedure(HWND group, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
  if (forwardsToParent(message)) return ::SendMessageW(::GetParent(group), message, w, l);
  if (message == WM_ERASEBKGND) return eraseAsTheWindowSays(group, reinterpret_cast<HDC>(w));
  return ::DefSubclassProc(group, message, w, l);
}

struct Made {
  const wchar_t* className;
  DWORD style;
  DWORD extendedStyle = 0;
};

// The radio group a radio button belongs to: its name up to "Item".
std::string radioGroupOf(const ControlPlace& place) {
  const std::string name = place.name;
  return name.substr(0, name.find("Item"));
}

Made madeOf(ControlKind kind, bool firstOfGroup) {
  constexpr DWORD tab = WS_TABSTOP;
  switch (kind) {
    case ControlKind::Label: return {L"STATIC", SS_LEFT};
    case ControlKind::Edit: return {L"EDIT", ES_AUTOHSCROLL | tab, WS_EX_CLIENTEDGE};
    case ControlKind::Display: return {L"EDIT", ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
    case ControlKind::PairButton: return {L"BUTTON", BS_PUSHBUTTON | tab};
    case ControlKind::FlatButton: return {L"BUTTON", BS_PUSHBUTTON | BS_FLAT | tab};
    case ControlKind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | tab};
    case ControlKind::Radio:
      return {L"BUTTON", BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | tab : 0u)};
    case ControlKind::Group: return {L"BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT};
    case ControlKind::Panel:
    case ControlKind::Frame: return {kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::Rule: return {L"STATIC", SS_ETCHEDHORZ};
    case ControlKind::Progress: return {PROGRESS_CLASSW, 0};
    case ControlKind::List:
      return {L"LISTBOX", LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_VSCROLL | WS_HSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::TimeEdit: return {DATETIMEPICK_CLASSW, DTS_TIMEFORMAT | DTS_UPDOWN | tab};
    case ControlKind::Spin: return {L"EDIT", ES_NUMBER | tab, WS_EX_CLIENTEDGE};
    case ControlKind::Grid:
      return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | tab, WS_EX_CLIENTEDGE};
  }
  return {L"STATIC", 0};
}

// What each kind needs beyond its window: ranges, formats, columns.
void finish(HWND control, const ControlPlace& place, HWND parent) {
  switch (place.kind) {
    case ControlKind::Panel: ::SetWindowLongPtrW(control, GWLP_USERDATA, 1); break;
    case ControlKind::Group: ::SetWindowSubclass(control, groupProcedure, 0, 0); break;
    case ControlKind::TimeEdit:
      ::SendMessageW(control, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm:ss"));
      break;
    case ControlKind::Spin: {
      // The arrows beside the days, inside the box's width.
      HWND arrows =
          ::CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                            WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT |
                                UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            0, 0, 0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
      ::SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control), 0);
      ::SetPropW(control, L"TavroArrows", arrows);
      ::SendMessageW(arrows, UDM_SETRANGE32, 0, kMaxHistoryDays);
      ::SendMessageW(arrows, UDM_SETPOS32, 0, kDefaultHistoryDays);
      break;
    }
    case ControlKind::Progress: ::SendMessageW(control, PBM_SETRANGE32, 0, 100); break;
    case ControlKind::Grid:
      ::SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
      for (int column = 0; column < 3; ++column) {
        std::wstring heading = windows::wide(kPairGridHeadings[column]);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = heading.data();
        ::SendMessageW(control, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
      }
      break;
    default: break;
  }
}

// The pair grid's state column as wide as its longest word needs, the two
// folders sharing the rest.
void sizeGridColumns(HWND grid, HFONT font, int dpi) {
  const int state =
      std::max(textWidth(grid, font, L"Neprovedeno"), textWidth(grid, font, L"STAV")) +
      scaled(16, dpi);
  RECT inside;
  ::GetClientRect(grid, &inside);
  const int folders =
      (inside.right - ::GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(dpi)) - state) / 2;
  const int widths[] = {folders, folders, state};
  for (int column = 0; column < 3; ++column) {
    ::SendMessageW(grid, LVM_SETCOLUMNWIDTH, column, widths[column]);
  }
}

// A pair button is as wide as its caption needs in the font it has, at the
// least as the table says.
void widenToCaption(HWND button, HFONT font, const ControlPlace& place, int dpi) {
  std::wstring caption = windows::wide(place.caption);
  std::erase(caption, L'&');
  const int width = textWidth(button, font, caption) + scaled(12, dpi);
  if (width > scaled(place.w, dpi)) {
    ::SetWindowPos(button, nullptr, 0, 0, width, scaled(place.h, dpi),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace

HFONT makeFont(int points, int dpi, int weight, bool italic, const wchar_t* face) {
  return ::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, weight, italic, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

int textWidth(HWND control, HFONT font, const std::wstring& text) {
  HDC dc = ::GetDC(control);
  HGDIOBJ before = ::SelectObject(dc, font);
  SIZE needed{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
  ::SelectObject(dc, before);
  ::ReleaseDC(control, dc);
  return needed.cx;
}

std::string textOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return windows::narrow(text);
}

void setText(HWND control, const std::string& text) {
  ::SetWindowTextW(control, windows::wide(text).c_str());
}

void showControl(HWND control, bool shown) { ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE); }

bool isShown(HWND control) { return (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

WindowControls::WindowControls(HWND window, int dpi) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                   ICC_DATE_CLASSES | ICC_UPDOWN_CLASS |
                                                   ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&classes);
  registerWindowClass(kPanelClass, panelProcedure);  // fails harmlessly when it is there already
  const auto table = mainWindowControls();
  // A radio button that starts a group ends the one before: the buttons of
  // a group need not stand next to each other.
  std::string radioGroup;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const ControlPlace& place = table[i];
    HWND parent = place.parent == nullptr ? window : (*this)[place.parent];
    bool startsGroup = false;
    if (place.kind == ControlKind::Radio) {
      startsGroup = radioGroupOf(place) != radioGroup;
      radioGroup = radioGroupOf(place);
    }
    const Made made = madeOf(place.kind, startsGroup);
    HWND control =
        ::CreateWindowExW(made.extendedStyle, made.className, windows::wide(place.caption).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | made.style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(idOf(static_cast<int>(i)))),
                          ::GetModuleHandleW(nullptr), nullptr);
    finish(control, place, parent);
    controls_[place.name] = control;
  }
  rescale(dpi);
}

void WindowControls::rescale(int dpi) {
  HFONT old = font_;
  // The classic dialog font the layout was drawn for.
  font_ = makeFont(8, dpi);
  for (const ControlPlace& place : mainWindowControls()) {
    HWND control = (*this)[place.name];
    ::SetWindowPos(control, nullptr, scaled(place.x, dpi), scaled(place.y, dpi),
                   scaled(place.w, dpi), scaled(place.h, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    if (place.kind == ControlKind::PairButton) widenToCaption(control, font_, place, dpi);
    if (place.kind == ControlKind::Grid) sizeGridColumns(control, font_, dpi);
    if (place.kind == ControlKind::Spin) {
      // The arrows take their place beside the box again.
      auto arrows = static_cast<HWND>(::GetPropW(control, L"TavroArrows"));
      ::SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control), 0);
    }
  }
  if (old != nullptr) ::DeleteObject(old);
}

WindowControls::~WindowControls() {
  for (const ControlPlace& place : mainWindowControls()) {
    if (place.kind == ControlKind::Spin) ::RemovePropW((*this)[place.name], L"TavroArrows");
  }
  if (font_ != nullptr) ::DeleteObject(font_);
}

HWND WindowControls::operator[](const std::string& name) const {
  const auto found = controls_.find(name);
  return found == controls_.end() ? nullptr : found->second;
}

void registerWindowClass(const wchar_t* name, WNDPROC procedure, HWND owner) {
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = procedure;
  c.hInstance = ::GetModuleHandleW(nullptr);
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (owner != nullptr) c.hIcon = reinterpret_cast<HICON>(::GetClassLongPtrW(owner, GCLP_HICON));
  c.lpszClassName = name;
  ::RegisterClassExW(&c);
}

HWND makeChild(HWND parent, HFONT font, DWORD exStyle, const wchar_t* cls, const wchar_t* text,
               DWORD style, int id) {
  HWND control = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

}  // namespace tavro::win
