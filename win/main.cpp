// tavro.exe. For now the command line alone: "--run", "--help" and
// "--version"; the window program follows.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/windows_text.h"
#include "program/command_line.h"
#include "win/console_host.h"

int main() {
  // The words as Windows has them, in UTF-16: the C runtime's argv would
  // carry them in the ANSI code page, which cannot hold every path.
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(tavro::windows::narrow(words[i]));
  ::LocalFree(words);

  tavro::win::attachToCallersConsole();
  tavro::WindowsFileSystem fs;
  int status = 2;
  {
    tavro::win::ConsoleHost host;
    const auto handled = tavro::handleCommandLine(arguments, fs, host);
    if (handled) {
      status = *handled;
    } else {
      std::fputs("tavro: okno programu ve Windows zatím není, použijte --run\n", stderr);
    }
  }
  std::fflush(stdout);
  std::fflush(stderr);
  return status;
}
