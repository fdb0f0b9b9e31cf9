#pragma once

#include <string>

namespace tavro {

// Where the program keeps its files. Tests point these at a temporary folder.
struct ProgramPaths {
  std::string settingsFile;             // Tavro.ini
  std::string logFile;                  // Tavro.log
  std::string pairTable = "Tavro.csv";  // resolved against the current folder when opened

  // In the user's configuration folder ($XDG_CONFIG_HOME/tavro, else
  // ~/.config/tavro) and state folder ($XDG_STATE_HOME/tavro, else
  // ~/.local/state/tavro), so that neither a build folder being cleaned nor
  // an installed program's folder holds the user's settings and history;
  // except when a Tavro.ini already lies beside the executable (a portable
  // installation), which keeps both there.
  static ProgramPaths locate();
  // The same choice for a given executable folder and environment.
  static ProgramPaths locate(const std::string& executableFolder, bool portable,
                             const char* configHome, const char* stateHome, const char* home);
  // The folder of the running executable ("." when it cannot be told).
  static std::string executableFolder();
};

// Whether the copy pass may look entries up ahead on a second thread: yes
// unless TAVRO_NO_READ_AHEAD is set to something other than "" or "0",
// which has each entry looked up when the walk comes to it (to tell a fault
// of the lookups from one of the walk). Read where the program starts (main,
// the command line, the measuring tools and the tests' fixtures).
bool readAheadFromEnvironment();

}  // namespace tavro
