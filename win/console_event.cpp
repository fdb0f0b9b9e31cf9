// For the tests: delivers a console event to every running process of a
// given name, the way Windows itself does when the user presses Ctrl+C or
// closes the console: a thread started in the process at kernelbase's
// CtrlRoutine, which calls the process's handlers.
//
//   console_event.exe NAME.exe EVENT     (0 Ctrl+C, 1 Ctrl+Break, 2 close)
//
// Sending it through the console itself is no test under wine: a
// window-subsystem program there gets no console events from a terminal.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: console_event NAME.exe EVENT\n", stderr);
    return 2;
  }
  const auto event = static_cast<ULONG_PTR>(std::wcstoul(argv[2], nullptr, 10));
  // Kernelbase lies at the same address in every process of a session.
  const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
  if (routine == nullptr) {
    std::fputs("console_event: kernelbase has no CtrlRoutine\n", stderr);
    return 2;
  }
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int reached = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (::_wcsicmp(entry.szExeFile, argv[1]) != 0) continue;
    HANDLE process = ::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                       PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                   FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    HANDLE thread = ::CreateRemoteThread(process, nullptr, 0, routine,
                                         reinterpret_cast<void*>(event), 0, nullptr);
    if (thread != nullptr) {
      ::CloseHandle(thread);
      ++reached;
    }
    ::CloseHandle(process);
  }
  ::CloseHandle(snapshot);
  if (reached == 0) std::fputs("console_event: no such process reached\n", stderr);
  return reached == 0 ? 1 : 0;
}
