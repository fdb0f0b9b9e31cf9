// The program's text files on Windows: the ANSI code page unless a character
// does not fit, UTF-8 with a byte-order mark then.
#include <windows.h>

#include "platform/file_text.h"
#include "platform/windows_text.h"

namespace tavro {

namespace {

// `text` in the ANSI code page; *fits is false when a character had to be
// replaced by "?".
std::string ansi(std::string_view text, bool* fits) {
  const std::wstring wide = windows::wide(text);
  if (wide.empty()) {
    *fits = true;
    return {};
  }
  BOOL replaced = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        bytes.data(), n, "?", &replaced);
  *fits = !replaced;
  return bytes;
}

}  // namespace

FileText textOfFile(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) {
    return {std::string(bytes.substr(kByteOrderMark.size())), true};
  }
  if (bytes.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return {windows::narrow(wide), false};
}

// A UTF-8 file stays UTF-8; the others are as Windows programs write them.
std::string bytesOfFile(std::string_view text, bool byteOrderMark) {
  if (byteOrderMark) return std::string(kByteOrderMark) + std::string(text);
  bool fits = false;
  std::string bytes = ansi(text, &fits);
  if (fits) return bytes;
  return std::string(kByteOrderMark) + std::string(text);
}

std::string bytesToAppend(std::string_view text, std::string_view start) {
  if (start.empty()) return std::string(kByteOrderMark) + std::string(text);
  if (start.starts_with(kByteOrderMark)) return std::string(text);
  bool fits = false;
  return ansi(text, &fits);
}

bool appendingNeedsStart() { return true; }

}  // namespace tavro
