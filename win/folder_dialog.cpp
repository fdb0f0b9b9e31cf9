#include "win/folder_dialog.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/windows_text.h"

namespace tavro::win {

namespace {

// The path of a folder of the file system; empty for the shell's own
// places (the desktop, "This PC"), which are no folder to back up.
std::wstring pathOf(PCIDLIST_ABSOLUTE item) {
  std::wstring path(32768, L'\0');
  if (!::SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()),
                               GPFIDL_DEFAULT)) {
    return {};
  }
  path.resize(std::wcslen(path.c_str()));
  return path;
}

std::wstring homeFolder() {
  PWSTR path = nullptr;
  std::wstring home;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &path))) home = path;
  ::CoTaskMemFree(path);
  return home;
}

}  // namespace

int CALLBACK FolderDialog::callback(HWND dialog, UINT message, LPARAM l, LPARAM self) {
  auto* that = reinterpret_cast<FolderDialog*>(self);
  switch (message) {
    case BFFM_INITIALIZED:
      ::SetWindowTextW(dialog, that->caption_.c_str());
      if (!that->start_.empty()) {
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                       reinterpret_cast<LPARAM>(that->start_.c_str()));
      }
      // The tree takes the keys, and shows which folder is selected; the
      // dialog would give them to OK, with the selection unmarked.
      if (HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr)) {
        ::PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
      }
      break;
    case BFFM_SELCHANGED: {
      const std::wstring path = pathOf(reinterpret_cast<PCIDLIST_ABSOLUTE>(l));
      ::SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.c_str()));
      ::SendMessageW(dialog, BFFM_ENABLEOK, 0, path.empty() ? FALSE : TRUE);
      break;
    }
    default: break;
  }
  return 0;
}

bool FolderDialog::execute(const std::string& caption, const std::string& label) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  caption_ = windows::wide(caption);
  start_ = path_.empty() ? homeFolder() : windows::wide(path_);
  const std::wstring title = windows::wide(label);
  BROWSEINFOW info{};
  info.hwndOwner = owner_;
  info.lpszTitle = title.c_str();
  // The classic dialog: only it shows the selected folder's path.
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = &FolderDialog::callback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  std::wstring path;
  if (chosen != nullptr) {
    path = pathOf(chosen);
    ::CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (path.empty()) return false;
  path_ = windows::narrow(path);
  return true;
}

}  // namespace tavro::win
