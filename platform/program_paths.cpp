#include "platform/program_paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/file_system.h"

namespace tavro {

std::string ProgramPaths::executableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  return splitPath(std::string(buffer, static_cast<std::size_t>(n))).folder;
}

ProgramPaths ProgramPaths::locate() {
  const std::string folder = executableFolder();
  const bool portable = ::access((folder + "/Tavro.ini").c_str(), F_OK) == 0;
  return locate(folder, portable, std::getenv("XDG_CONFIG_HOME"), std::getenv("XDG_STATE_HOME"),
                std::getenv("HOME"));
}

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
