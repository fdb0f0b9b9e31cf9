#pragma once

#include <optional>
#include <string>

namespace tavro::win {

// "Spouštět po přihlášení": a shortcut to this program in the user's
// Startup folder, whose working folder is the current one (so that the
// program finds the same Tavro.csv at login). The check box shows whether
// it is there.
std::wstring startupShortcutPath();
bool startupShortcutExists();
// Creates or removes it; the error box's text when that failed.
std::optional<std::string> setStartupShortcut(bool wanted);

}  // namespace tavro::win
