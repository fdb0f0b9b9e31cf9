// Where the program is and keeps its files on Linux and the other POSIX
// systems.
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/program_paths.h"

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

}  // namespace tavro
