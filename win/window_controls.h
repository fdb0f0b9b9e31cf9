#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace tavro::win {

// The main window's controls as Win32 builds them from the program's layout
// table, found by their object names.
class WindowControls {
 public:
  // Builds every control of the table on `window` (whose client area has
  // the table's size at `dpi`), in the dialog font at that resolution, in
  // the order the keyboard visits them. The caller keeps `window`; the
  // font goes with this object.
  WindowControls(HWND window, int dpi);
  ~WindowControls();
  WindowControls(const WindowControls&) = delete;
  WindowControls& operator=(const WindowControls&) = delete;

  // Every control at its place and in the dialog font at `dpi`: the window
  // moved to a screen of another resolution.
  void rescale(int dpi);
  // The dialog font the controls have now.
  HFONT font() const { return font_; }

  // The control of that object name; null when the table has none.
  HWND operator[](const std::string& name) const;
  // A control's command identifier, as WM_COMMAND names it.
  static int idOf(int tableIndex) { return 1000 + tableIndex; }

 private:
  std::map<std::string, HWND> controls_;
  HFONT font_ = nullptr;
};

// Pixels of the table (at 96 dots per inch) at `dpi`.
inline int scaled(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }

// A font of `points` at `dpi`: the classic dialog font unless `face` says
// otherwise. The caller deletes it.
HFONT makeFont(int points, int dpi, int weight = FW_NORMAL, bool italic = false,
               const wchar_t* face = L"Tahoma");
// How wide `text` is in `font`, in pixels.
int textWidth(HWND control, HFONT font, const std::wstring& text);
// A control's text, in UTF-8.
std::string textOf(HWND control);
void setText(HWND control, const std::string& text);
// Shows or hides a control without taking the focus.
void showControl(HWND control, bool shown);
// Whether a control is shown by its own style, whether or not its window
// is on screen (it may be in the tray).
bool isShown(HWND control);

// Registers the class of one of the program's own windows: the dialog grey,
// the arrow, and the icon of its `owner` when it has one.
void registerWindowClass(const wchar_t* name, WNDPROC procedure, HWND owner = nullptr);
// A shown child control of `parent` in `font`, placed later.
HWND makeChild(HWND parent, HFONT font, DWORD exStyle, const wchar_t* cls, const wchar_t* text,
               DWORD style, int id);
// The object a window belongs to, given as its creation parameter: kept with
// the window from WM_NCCREATE on, and forgotten on WM_NCDESTROY (whose
// message still reaches the object).
template <class T>
T* objectOf(HWND window, UINT message, LPARAM l) {
  if (message == WM_NCCREATE) {
    ::SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
  }
  auto* object = reinterpret_cast<T*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return object;
}

}  // namespace tavro::win
