// UTF-8 inside the program, UTF-16 at the Windows API: for the platform's
// windows_*.cpp files and the Windows shell.
#pragma once

#include <string>
#include <string_view>

namespace tavro::windows {

// Invalid sequences become U+FFFD either way.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tavro::windows
