#include "win/startup_shortcut.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/windows_text.h"

namespace tavro::win {

namespace {

// The folder's path from the shell, or TAVRO_STARTUP_FOLDER where that is
// set (the tests keep their shortcuts to themselves so).
std::wstring startupFolder() {
  wchar_t given[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"TAVRO_STARTUP_FOLDER", given, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return given;
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &path))) {
    folder = path;
  }
  ::CoTaskMemFree(path);
  return folder;
}

std::wstring currentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

std::wstring thisProgram() {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

bool makeShortcut(const std::wstring& file) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool made = false;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
    link->SetPath(thisProgram().c_str());
    link->SetWorkingDirectory(currentFolder().c_str());
    link->SetDescription(L"Tavro");
    IPersistFile* persisted = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted)))) {
      made = SUCCEEDED(persisted->Save(file.c_str(), TRUE));
      persisted->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return made;
}

}  // namespace

std::wstring startupShortcutPath() {
  const std::wstring folder = startupFolder();
  return folder.empty() ? std::wstring() : folder + L"\\Tavro.lnk";
}

bool startupShortcutExists() {
  const std::wstring path = startupShortcutPath();
  return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> setStartupShortcut(bool wanted) {
  const std::wstring path = startupShortcutPath();
  const bool done =
      path.empty() ? false
      : wanted     ? makeShortcut(path)
               : ::DeleteFileW(path.c_str()) != FALSE || ::GetLastError() == ERROR_FILE_NOT_FOUND;
  if (done) return std::nullopt;
  return "Nelze zapsat do " + windows::narrow(path.empty() ? L"Startup" : path);
}

}  // namespace tavro::win
