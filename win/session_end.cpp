// For the tests: tells the program's window that the session is ending, the
// way Windows does at shutdown or log-off: WM_QUERYENDSESSION, then
// WM_ENDSESSION with the window's answer.
//
//   session_end.exe     (exit status 0 when the window agreed)
#include <windows.h>

#include <cstdio>

int wmain() {
  HWND window = ::FindWindowW(L"TavroMainWindow", nullptr);
  if (window == nullptr) {
    std::fputs("session_end: no Tavro window\n", stderr);
    return 2;
  }
  DWORD_PTR agreed = FALSE;
  if (::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 20000,
                            &agreed) == 0) {
    std::fputs("session_end: the window did not answer\n", stderr);
    return 2;
  }
  ::SendMessageTimeoutW(window, WM_ENDSESSION, agreed, ENDSESSION_LOGOFF, SMTO_BLOCK, 20000,
                        nullptr);
  return agreed != FALSE ? 0 : 1;
}
