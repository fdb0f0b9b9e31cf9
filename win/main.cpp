// tavro.exe: without arguments the window program in the tray; with
// "--run", "--help" or "--version" the command line.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/windows_text.h"
#include "program/command_line.h"
#include "win/console_host.h"
#include "win/instance_lock.h"
#include "win/main_window.h"
#include "win/windows_power.h"

namespace {

int runWindowProgram() {
  const tavro::ProgramPaths paths = tavro::ProgramPaths::locate();
  // A second start shows the first one's window and ends.
  tavro::win::InstanceLock lock;
  std::string whyNoLock;
  const auto lockOutcome = lock.acquire(paths.settingsFile, &whyNoLock);
  if (lockOutcome == tavro::win::InstanceLock::Outcome::HeldElsewhere) {
    if (HWND first = tavro::win::InstanceLock::windowOf(paths.settingsFile)) {
      DWORD process = 0;
      ::GetWindowThreadProcessId(first, &process);
      // This start has the foreground; the first may take it over.
      ::AllowSetForegroundWindow(process);
      ::PostMessageW(first, tavro::win::MainWindow::showRequest(), 0, 0);
    }
    return 0;
  }

  tavro::WindowsFileSystem fs;
  tavro::SystemClock clock;
  tavro::win::WindowsPower power;
  tavro::win::MainWindow window({fs, clock, power, paths, tavro::RegionalFormats::fromLocale(),
                                 tavro::readAheadFromEnvironment()});
  lock.publishWindow(window.handle());
  // Without a lock the program still backs up; the user learns why first.
  if (lockOutcome == tavro::win::InstanceLock::Outcome::Unavailable) {
    ::MessageBoxW(window.handle(), tavro::windows::wide(whyNoLock).c_str(), L"Tavro",
                  MB_OK | MB_ICONERROR);
  }
  return window.run();
}

}  // namespace

int main() {
  // The words as Windows has them, in UTF-16: the C runtime's argv would
  // carry them in the ANSI code page, which cannot hold every path.
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(tavro::windows::narrow(words[i]));
  ::LocalFree(words);
  if (arguments.empty()) return runWindowProgram();

  tavro::win::attachToCallersConsole();
  std::optional<int> handled;
  {
    tavro::WindowsFileSystem fs;
    tavro::win::ConsoleHost host;
    handled = tavro::handleCommandLine(arguments, fs, host);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  return handled ? *handled : runWindowProgram();
}
