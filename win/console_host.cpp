#include "win/console_host.h"

#include <atomic>
#include <cstdio>

namespace tavro::win {

namespace {

std::atomic<bool> stopAsked{false};
// Set when the run has ended; a closing console waits for it.
HANDLE runEnded = nullptr;

// Windows gives a handler of the closing events about five seconds.
constexpr DWORD kClosingWait = 4500;

BOOL WINAPI onConsoleEvent(DWORD event) {
  stopAsked = true;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return TRUE;
    default:  // the console closes, the user logs off, Windows shuts down
      if (runEnded != nullptr) ::WaitForSingleObject(runEnded, kClosingWait);
      return TRUE;
  }
}

bool usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

ConsoleHost::ConsoleHost() {
  runEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// The run is over and its files are written: a closing console may go.
ConsoleHost::~ConsoleHost() {
  if (runEnded != nullptr) ::SetEvent(runEnded);
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

CommandLineHost::Lock ConsoleHost::acquireInstance(const std::string& settingsFile,
                                                   std::string* reason) {
  switch (lock_.acquire(settingsFile, reason)) {
    case InstanceLock::Outcome::Acquired: return Lock::Acquired;
    case InstanceLock::Outcome::HeldElsewhere: return Lock::HeldElsewhere;
    case InstanceLock::Outcome::Unavailable: break;
  }
  return Lock::Unavailable;
}

bool ConsoleHost::stopRequested() { return stopAsked; }

void attachToCallersConsole() {
  const bool out = usable(::GetStdHandle(STD_OUTPUT_HANDLE));
  const bool err = usable(::GetStdHandle(STD_ERROR_HANDLE));
  if ((!out || !err) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (!out) (void)std::freopen("CONOUT$", "w", stdout);
    if (!err) (void)std::freopen("CONOUT$", "w", stderr);
  }
  ::SetConsoleOutputCP(CP_UTF8);
}

}  // namespace tavro::win
