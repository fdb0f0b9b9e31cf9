#pragma once

#include <filesystem>
#include <string>

namespace tavro::testkit {

// A UTF-8 path as the standard library takes it on this system, and back:
// on Windows a narrow std::filesystem::path means the ANSI code page.
std::filesystem::path nativePath(const std::string& utf8);
std::string utf8Path(const std::filesystem::path& path);

}  // namespace tavro::testkit
