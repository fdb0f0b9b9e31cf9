#include "win/windows_power.h"

#include <windows.h>

#include <powrprof.h>

namespace tavro::win {

namespace {

// A program may shut Windows down only with the shutdown privilege enabled
// in its own token; every user holds it, disabled.
void enableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
    ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  ::CloseHandle(token);
}

}  // namespace

void WindowsPower::requestShutDown() {
  enableShutdownPrivilege();
  ::ExitWindowsEx(EWX_SHUTDOWN, 0);
}

// SetSystemPowerState, which older Windows had for this, is gone from
// current ones; SetSuspendState asks for sleep (not hibernation).
void WindowsPower::requestSuspend() {
  enableShutdownPrivilege();
  ::SetSuspendState(FALSE, FALSE, FALSE);
}

}  // namespace tavro::win
