#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tavro {

// What a command-line run needs of the shell it runs in: the one-program
// lock, and the way a request to stop (Ctrl+C, a signal, the console
// closing) reaches the run.
class CommandLineHost {
 public:
  virtual ~CommandLineHost() = default;

  enum class Lock {
    Acquired,       // this process is now the one for the settings file
    HeldElsewhere,  // another program holds it
    Unavailable,    // no lock can be made; *reason says why
  };
  virtual Lock acquireInstance(const std::string& settingsFile, std::string* reason) = 0;
  // Called now and then during the run; true once a stop was requested.
  virtual bool stopRequested() = 0;
};

// What the program does with its arguments (UTF-8, without the program's
// name) before any window exists: "--help" and "--version" print and end;
// "--run" runs one backup without a window. Returns the exit status when the
// arguments asked for one of these (or were not understood, status 2),
// nothing when the window program is to start.
std::optional<int> handleCommandLine(const std::vector<std::string>& arguments, FileSystem& fs,
                                     CommandLineHost& host);

}  // namespace tavro
