#include "platform/program_paths.h"

#include <cstdlib>
#include <string_view>

namespace tavro {

ProgramPaths ProgramPaths::locate(const std::string& executableFolder, bool portable,
                                  const char* configHome, const char* stateHome, const char* home) {
  ProgramPaths paths;
  if (portable) {
    paths.settingsFile = executableFolder + "/Tavro.ini";
    paths.logFile = executableFolder + "/Tavro.log";
    return paths;
  }
  const std::string user = home != nullptr && *home != '\0' ? home : "/tmp";
  const std::string config =
      configHome != nullptr && *configHome == '/' ? configHome : user + "/.config";
  const std::string state =
      stateHome != nullptr && *stateHome == '/' ? stateHome : user + "/.local/state";
  paths.settingsFile = config + "/tavro/Tavro.ini";
  paths.logFile = state + "/tavro/Tavro.log";
  return paths;
}

bool readAheadFromEnvironment() {
  const char* off = std::getenv("TAVRO_NO_READ_AHEAD");
  return off == nullptr || *off == '\0' || std::string_view(off) == "0";
}

}  // namespace tavro
