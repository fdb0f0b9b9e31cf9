#pragma once

#include <windows.h>

#include <string>

#include "program/command_line.h"
#include "win/instance_lock.h"

namespace tavro::win {

// A run from the command line on Windows: the named mutex for the lock,
// and Ctrl+C, Ctrl+Break and the console closing as stop requests. When the
// console closes (or the user logs off), Windows ends the process a few
// seconds after asking: the handler holds it until the run has ended after
// its pair and written its states (the host is gone then), as long as
// Windows allows.
class ConsoleHost final : public CommandLineHost {
 public:
  ConsoleHost();
  ~ConsoleHost() override;
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  Lock acquireInstance(const std::string& settingsFile, std::string* reason) override;
  bool stopRequested() override;

 private:
  InstanceLock lock_;
};

// Puts the program's output where its caller reads it: the handles it was
// given (a redirection, a scheduled task's log), else the console of the
// process that started it. UTF-8 either way.
void attachToCallersConsole();

}  // namespace tavro::win
