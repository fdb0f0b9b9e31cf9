#pragma once

#include <string>

namespace tavro {

// Where the program keeps its files. Tests point these at a temporary folder.
struct ProgramPaths {
  std::string settingsFile;  // Tavro.ini
  std::string logFile;       // Tavro.log
  std::string pairTable = "Tavro.csv";  // resolved against the current folder when opened

  // Beside the executable when its folder is writable; otherwise in the
  // user's configuration folder ($XDG_CONFIG_HOME/tavro, else ~/.config/tavro)
  // and state folder ($XDG_STATE_HOME/tavro, else ~/.local/state/tavro), as an
  // installed program's folder is not the user's to write.
  static ProgramPaths locate();
  // The same choice for a given executable folder and environment.
  static ProgramPaths locate(const std::string& executableFolder, bool executableFolderWritable,
                             const char* configHome, const char* stateHome, const char* home);
};

}  // namespace tavro
