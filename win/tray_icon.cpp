#include "win/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "platform/windows_text.h"

namespace tavro::win {

namespace {

constexpr UINT kIconId = 1;

void copyInto(wchar_t* field, std::size_t size, const std::wstring& text) {
  std::wstring shown = text.substr(0, size - 1);
  // Never half a surrogate pair at the cut.
  if (shown.size() == size - 1 && shown.back() >= 0xD800 && shown.back() <= 0xDBFF) {
    shown.pop_back();
  }
  std::wmemcpy(field, shown.c_str(), shown.size() + 1);
}

}  // namespace

TrayIcon::TrayIcon(HWND window, HICON icon) : window_(window), normal_(icon) {
  warningIcon_ = iconWithWarningSign(icon, ::GetSystemMetrics(SM_CXSMICON));
}

TrayIcon::~TrayIcon() {
  remove();
  if (warningIcon_ != nullptr) ::DestroyIcon(warningIcon_);
}

NOTIFYICONDATAW TrayIcon::data(UINT flags) const {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof d;
  d.hWnd = window_;
  d.uID = kIconId;
  d.uFlags = flags;
  d.uCallbackMessage = kMessage;
  d.hIcon = warning_ && warningIcon_ != nullptr ? warningIcon_ : normal_;
  copyInto(d.szTip, std::size(d.szTip), hint_);
  return d;
}

bool TrayIcon::show() {
  if (shown_) return true;
  NOTIFYICONDATAW d = data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
  shown_ = ::Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
  if (shown_) {
    d.uVersion = NOTIFYICON_VERSION_4;
    ::Shell_NotifyIconW(NIM_SETVERSION, &d);
  }
  return shown_;
}

void TrayIcon::readd() {
  if (!shown_) return;
  shown_ = false;
  show();
}

void TrayIcon::remove() {
  if (!shown_) return;
  NOTIFYICONDATAW d = data(0);
  ::Shell_NotifyIconW(NIM_DELETE, &d);
  shown_ = false;
}

void TrayIcon::setHint(const std::string& hint) {
  hint_ = windows::wide(hint);  // cut to the icon's 127 characters as it is handed over
  if (!shown_) return;
  NOTIFYICONDATAW d = data(NIF_TIP | NIF_SHOWTIP);
  ::Shell_NotifyIconW(NIM_MODIFY, &d);
}

void TrayIcon::showBalloon(const std::string& title, const std::string& text,
                           BalloonIconKind kind) {
  if (!shown_) return;
  static const DWORD kIcons[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
  NOTIFYICONDATAW d = data(NIF_INFO);
  copyInto(d.szInfoTitle, std::size(d.szInfoTitle), windows::wide(title));
  copyInto(d.szInfo, std::size(d.szInfo), windows::wide(text));
  d.dwInfoFlags = kIcons[static_cast<int>(kind)];
  ::Shell_NotifyIconW(NIM_MODIFY, &d);
}

void TrayIcon::showWarning(bool warning) {
  if (warning == warning_) return;
  warning_ = warning;
  if (!shown_) return;
  NOTIFYICONDATAW d = data(NIF_ICON);
  ::Shell_NotifyIconW(NIM_MODIFY, &d);
}

void TrayIcon::popUpMenu() {
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING, Show, L"&Zobrazit program");
  ::AppendMenuW(menu, MF_STRING, Preview, L"Náhled zálohy");
  if (running_) ::AppendMenuW(menu, MF_STRING, Interrupt, L"Přerušit zálohu");
  ::AppendMenuW(menu, MF_STRING, About, L"O programu");
  ::AppendMenuW(menu, MF_STRING, End, L"&Ukončit program");
  ::SetMenuDefaultItem(menu, Show, FALSE);
  POINT at{};
  ::GetCursorPos(&at);
  // Without the window in front the menu would not close when the user
  // clicks elsewhere.
  ::SetForegroundWindow(window_);
  ::TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, window_, nullptr);
  ::PostMessageW(window_, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
}

HICON iconWithWarningSign(HICON icon, int size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP colour = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ before = ::SelectObject(dc, colour);
  ::DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  // The triangle: amber with a dark brown edge and mark, as the Linux
  // window draws it.
  const int s = size * 62 / 100;
  const int x = size - s, y = size - s;
  POINT triangle[] = {{x + s / 2, y}, {x + s - 1, y + s - 1}, {x, y + s - 1}};
  HPEN edge = ::CreatePen(PS_SOLID, 1, RGB(80, 40, 0));
  HBRUSH amber = ::CreateSolidBrush(RGB(255, 191, 0));
  HGDIOBJ oldPen = ::SelectObject(dc, edge);
  HGDIOBJ oldBrush = ::SelectObject(dc, amber);
  ::Polygon(dc, triangle, 3);
  HPEN mark = ::CreatePen(PS_SOLID, std::max(1, s / 9), RGB(40, 20, 0));
  ::SelectObject(dc, mark);
  ::MoveToEx(dc, x + s / 2, y + s * 36 / 100, nullptr);
  ::LineTo(dc, x + s / 2, y + s * 66 / 100);
  ::MoveToEx(dc, x + s / 2, y + s * 82 / 100, nullptr);
  ::LineTo(dc, x + s / 2, y + s * 86 / 100);
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, before);
  ::DeleteObject(edge);
  ::DeleteObject(mark);
  ::DeleteObject(amber);
  ::DeleteDC(dc);
  // GDI leaves the alpha of everything it drew at 0, over the icon's
  // opaque pixels as over its transparent ones: whatever has a colour and
  // no alpha now is the triangle's and is made opaque.
  auto* pixel = static_cast<std::uint32_t*>(bits);
  for (int row = y; row < size; ++row) {
    for (int column = x; column < size; ++column) {
      std::uint32_t& p = pixel[row * size + column];
      if ((p >> 24) == 0 && (p & 0xFFFFFF) != 0) p |= 0xFF000000u;
    }
  }
  // The colour bitmap's alpha decides; the mask only has to be there.
  const std::vector<unsigned char> clear(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
  HBITMAP mask = ::CreateBitmap(size, size, 1, 1, clear.data());
  ICONINFO made{TRUE, 0, 0, mask, colour};
  HICON result = ::CreateIconIndirect(&made);
  ::DeleteObject(mask);
  ::DeleteObject(colour);
  return result;
}

}  // namespace tavro::win
