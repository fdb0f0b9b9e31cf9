// Where the program is and keeps its files on Windows.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/program_paths.h"
#include "platform/windows_text.h"

namespace tavro {

namespace {

std::string folderOf(const std::string& path) {
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? "." : path.substr(0, cut);
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(windows::wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string ProgramPaths::executableFolder() {
  // Paths longer than MAX_PATH come back cut: the buffer grows until the
  // whole name fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ".";
    if (n < buffer.size()) {
      buffer.resize(n);
      return folderOf(windows::narrow(buffer));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Beside tavro.exe when a Tavro.ini already lies there (a portable
// installation), otherwise in %APPDATA%\Tavro.
ProgramPaths ProgramPaths::locate() {
  const std::string folder = executableFolder();
  ProgramPaths paths;
  std::string home = folder;
  if (!exists(folder + "\\Tavro.ini")) {
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData != nullptr && *appData != L'\0') {
      home = windows::narrow(appData) + "\\Tavro";
    }
  }
  paths.settingsFile = home + "\\Tavro.ini";
  paths.logFile = home + "\\Tavro.log";
  return paths;
}

}  // namespace tavro
