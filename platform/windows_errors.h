// The errors of the Windows API as the seam reports them: for the
// platform's windows_*.cpp files and the Windows shell.
#pragma once

#include <windows.h>
#include <winternl.h>

namespace tavro::windows {

// A Windows error as the errno value the program above the seam decides
// by (ENOENT, EEXIST, EXDEV, ...). Errors without such a value keep their
// own code, so that their reason is the system's own text.
int errorOf(DWORD error);
int errorOfStatus(NTSTATUS status);
int lastError();

}  // namespace tavro::windows
