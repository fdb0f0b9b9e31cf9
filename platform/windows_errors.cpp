#include "platform/windows_errors.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/result.h"
#include "platform/windows_text.h"

namespace tavro::windows {

namespace {

// Above every errno value: a Windows error code carried as it is.
constexpr int kOwnCode = 1 << 24;

struct Pair {
  DWORD windows;
  int posix;
};

// The first row of an errno value is the Windows error whose text explains
// it: the reason a user reads is the system's own, in its language.
constexpr Pair kPairs[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},       {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_BAD_NETPATH, ENOENT},          {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},        {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILE_EXISTS, EEXIST},          {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_DIRECTORY, ENOTDIR},           {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
    {ERROR_NOT_SAME_DEVICE, EXDEV},       {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},     {ERROR_NOT_SUPPORTED, EOPNOTSUPP},
    {ERROR_INVALID_FUNCTION, EOPNOTSUPP}, {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_WRITE_PROTECT, EROFS},         {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_INVALID_NAME, EINVAL},         {ERROR_CANT_RESOLVE_FILENAME, ELOOP},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},    {ERROR_CRC, EIO},
};

}  // namespace

int errorOf(DWORD error) {
  for (const auto& pair : kPairs) {
    if (pair.windows == error) return pair.posix;
  }
  return error == 0 ? EIO : kOwnCode + static_cast<int>(error);
}

int errorOfStatus(NTSTATUS status) {
  // Where the Windows error code would lose what the seam promises.
  switch (static_cast<DWORD>(status)) {
    case 0xC00000BAUL: return EISDIR;     // STATUS_FILE_IS_A_DIRECTORY
    case 0xC0000103UL: return ENOTDIR;    // STATUS_NOT_A_DIRECTORY
    case 0xC0000035UL: return EEXIST;     // STATUS_OBJECT_NAME_COLLISION
    case 0xC0000101UL: return ENOTEMPTY;  // STATUS_DIRECTORY_NOT_EMPTY
    default: return errorOf(::RtlNtStatusToDosError(status));
  }
}

int lastError() { return errorOf(::GetLastError()); }

}  // namespace tavro::windows

namespace tavro {

std::string systemReason(int error) {
  DWORD code = 0;
  if (error >= windows::kOwnCode) {
    code = static_cast<DWORD>(error - windows::kOwnCode);
  } else {
    for (const auto& pair : windows::kPairs) {
      if (pair.posix == error) {
        code = pair.windows;
        break;
      }
    }
  }
  if (code != 0) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n > 0) {
      std::wstring reason(text, n);
      ::LocalFree(text);
      // The system ends its texts with a full stop and a line break.
      while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                                 reason.back() == L' ' || reason.back() == L'.')) {
        reason.pop_back();
      }
      return windows::narrow(reason);
    }
  }
  char buffer[256];
  if (::strerror_s(buffer, sizeof buffer, error) != 0) return "error " + std::to_string(error);
  return buffer;
}

}  // namespace tavro
