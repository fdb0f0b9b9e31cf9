// The parts of the temporary trees that are the system's own, on Windows
// (under wine here). Paths keep "/" between names, which Windows takes.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <random>

#include "platform/windows_text.h"
#include "testing/native_path.h"
#include "testing/temp_tree.h"

namespace tavro::testkit {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kEpochTicks = 116'444'736'000'000'000LL;

// The Unix path of a path under wine; "" elsewhere.
std::wstring unixPathOf(const std::wstring& windowsPath) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return {};
  char* unixPath = unixName(windowsPath.c_str());
  if (unixPath == nullptr) return {};
  std::wstring result = windows::wide(unixPath);
  ::HeapFree(::GetProcessHeap(), 0, unixPath);
  return result;
}

// Runs a Unix program under wine, which hands it its words as they are,
// without quoting. A Unix process cannot be waited for from wine: waits up
// to two seconds for `done`.
bool runUnix(std::wstring command, const std::function<bool()>& done) {
  const std::wstring program = L"Z:" + command.substr(0, command.find(L' '));
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &start, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 100 && !done(); ++i) ::Sleep(20);
  return done();
}

HANDLE openEntry(const std::string& path, DWORD access) {
  return ::CreateFileW(
      nativePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

fs::path nativePath(const std::string& utf8) { return fs::path(windows::wide(utf8)); }
std::string utf8Path(const fs::path& path) { return windows::narrow(path.generic_wstring()); }

TempTree::TempTree() {
  std::random_device random;
  for (int attempt = 0; attempt < 16 && root_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("tavro-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) root_ = utf8Path(candidate);
  }
  check(!root_.empty(), "no temporary folder");
}

TempTree::~TempTree() {
  // Wine takes a Unix link for the folder it leads to, and removing the
  // tree would remove what the link leads to: Unix removes it there.
  const fs::path root = nativePath(root_);
  if (const std::wstring unixRoot = unixPathOf(root.wstring()); !unixRoot.empty()) {
    runUnix(L"/bin/rm -rf " + unixRoot, [&] { return !fs::exists(root); });
    return;
  }
  std::error_code ignored;
  // Read-only entries would stay behind.
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(root, ignored);
}

// Windows makes a link with developer mode or the privilege. Wine makes
// none (its call answers yes and does nothing), but a Unix link is what
// wine's users meet, and it shows them as what they lead to.
std::string TempTree::link(const std::string& relative, const std::string& text) {
  const fs::path at = nativePath(path(relative));
  fs::create_directories(at.parent_path());
  const std::wstring linkPath = unixPathOf(at.wstring());
  if (linkPath.empty()) {
    const bool folder = fs::is_directory(at.parent_path() / nativePath(text));
    check(::CreateSymbolicLinkW(at.c_str(), nativePath(text).make_preferred().c_str(),
                                SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE |
                                    (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0)),
          "CreateSymbolicLinkW " + relative);
    return path(relative);
  }
  const std::wstring linkText = unixPathOf(nativePath(text).make_preferred().wstring());
  check(!linkText.empty() &&
            runUnix(L"/bin/ln -s " + linkText + L" " + linkPath, [&] { return exists(relative); }),
        "/bin/ln " + relative);
  return path(relative);
}

std::string TempTree::fifo(const std::string& relative) {
  check(false, "Windows has no FIFOs: " + relative);
  return {};
}

void TempTree::setTime(const std::string& relative, std::time_t seconds, long nanoseconds) {
  HANDLE h = openEntry(path(relative), FILE_WRITE_ATTRIBUTES);
  check(h != INVALID_HANDLE_VALUE, "open " + relative);
  ULARGE_INTEGER ticks;
  ticks.QuadPart =
      static_cast<std::uint64_t>(seconds * kTicksPerSecond + nanoseconds / 100 + kEpochTicks);
  const FILETIME time{ticks.LowPart, ticks.HighPart};
  const bool set = ::SetFileTime(h, nullptr, &time, &time);
  ::CloseHandle(h);
  check(set, "SetFileTime " + relative);
}

timespec TempTree::time(const std::string& relative) const {
  HANDLE h = openEntry(path(relative), FILE_READ_ATTRIBUTES);
  check(h != INVALID_HANDLE_VALUE, "open " + relative);
  FILETIME written{};
  const bool got = ::GetFileTime(h, nullptr, nullptr, &written);
  ::CloseHandle(h);
  check(got, "GetFileTime " + relative);
  const std::int64_t since =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(written.dwHighDateTime) << 32) |
                                written.dwLowDateTime) -
      kEpochTicks;
  return timespec{static_cast<std::time_t>(since / kTicksPerSecond),
                  static_cast<long>(since % kTicksPerSecond * 100)};
}

// The read-only attribute stands for the owner's write permission.
unsigned TempTree::mode(const std::string& relative) const {
  const DWORD attributes = ::GetFileAttributesW(nativePath(path(relative)).c_str());
  check(attributes != INVALID_FILE_ATTRIBUTES, "attributes " + relative);
  const unsigned base = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0755 : 0644;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? (base & ~0222u) : base;
}

void TempTree::setMode(const std::string& relative, unsigned mode) {
  const std::wstring at = nativePath(path(relative)).wstring();
  DWORD attributes = ::GetFileAttributesW(at.c_str());
  check(attributes != INVALID_FILE_ATTRIBUTES, "attributes " + relative);
  attributes = (mode & 0200) ? (attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})
                             : (attributes | FILE_ATTRIBUTE_READONLY);
  check(::SetFileAttributesW(at.c_str(), attributes), "SetFileAttributesW " + relative);
}

bool TempTree::exists(const std::string& relative) const {
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW(nativePath(path(relative)).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  return true;
}

bool TempTree::isFolder(const std::string& relative) const {
  return !isLink(relative) && fs::is_directory(fs::symlink_status(nativePath(path(relative))));
}

// A reparse point that names another place, or (wine) a Unix link, which
// only the final path of what was opened shows.
bool TempTree::isLink(const std::string& relative) const {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(nativePath(path(relative)).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      IsReparseTagNameSurrogate(found.dwReserved0)) {
    return true;
  }
  HANDLE h = openEntry(path(relative), FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return true;  // dangling
  wchar_t reached[4096];
  const DWORD n = ::GetFinalPathNameByHandleW(h, reached, 4096, FILE_NAME_NORMALIZED);
  ::CloseHandle(h);
  wchar_t expected[4096];
  const DWORD m = ::GetFullPathNameW(nativePath(path(relative)).c_str(), 4096, expected, nullptr);
  std::wstring reachedPath(reached, n);
  if (reachedPath.starts_with(L"\\\\?\\")) reachedPath.erase(0, 4);
  return n > 0 && m > 0 &&
         ::CompareStringOrdinal(reachedPath.c_str(), -1, expected, -1, TRUE) != CSTR_EQUAL;
}

std::string TempTree::readLink(const std::string& relative) const {
  return utf8Path(fs::read_symlink(nativePath(path(relative))));
}

void TempTree::remove(const std::string& relative) { fs::remove_all(nativePath(path(relative))); }

std::string whyNoLinks() {
  return "wine makes no Windows symbolic links; the Windows links have tests of their own";
}
std::string whyNoFifos() { return "Windows has no FIFOs"; }

}  // namespace tavro::testkit
