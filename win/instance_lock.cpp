#include "win/instance_lock.h"

#include <cstdint>

#include "platform/result.h"
#include "platform/windows_errors.h"
#include "platform/windows_text.h"

namespace tavro::win {

InstanceLock::~InstanceLock() {
  if (published_ != nullptr) ::CloseHandle(published_);
  if (mutex_ != nullptr) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
}

std::wstring InstanceLock::nameFor(const std::string& settingsFile) {
  std::wstring path = windows::wide(settingsFile);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  // A mutex's name takes no backslash, and a path may be long: its FNV-1a
  // hash stands for it, after Windows' own upper-casing.
  ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  std::uint64_t hash = 1469598103934665603ULL;
  for (wchar_t c : path) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ULL;
  }
  wchar_t text[17];
  for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = L"0123456789abcdef"[hash & 15];
  text[16] = L'\0';
  return std::wstring(L"Local\\Tavro-") + text;
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& settingsFile, std::string* reason) {
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, nameFor(settingsFile).c_str());
  if (mutex == nullptr) {
    *reason = "Nelze vytvořit zámek " + windows::narrow(nameFor(settingsFile)) + ": " +
              systemReason(windows::lastError()) +
              ". Zálohy poběží, ale program nepozná, zda už je spuštěný.";
    return Outcome::Unavailable;
  }
  // A program that died leaves its mutex abandoned: it is taken over.
  const DWORD waited = ::WaitForSingleObject(mutex, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    ::CloseHandle(mutex);
    return Outcome::HeldElsewhere;
  }
  mutex_ = mutex;
  settingsFile_ = settingsFile;
  return Outcome::Acquired;
}

void InstanceLock::publishWindow(HWND window) {
  if (mutex_ == nullptr) return;  // not the holder: nobody would look here
  const std::wstring name = nameFor(settingsFile_) + L"-window";
  published_ = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(std::uint64_t), name.c_str());
  if (published_ == nullptr) return;
  void* view = ::MapViewOfFile(published_, FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t));
  if (view == nullptr) return;
  *static_cast<std::uint64_t*>(view) = reinterpret_cast<std::uintptr_t>(window);
  ::UnmapViewOfFile(view);
}

HWND InstanceLock::windowOf(const std::string& settingsFile) {
  const std::wstring name = nameFor(settingsFile) + L"-window";
  HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
  if (mapping == nullptr) return nullptr;
  HWND window = nullptr;
  if (void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(std::uint64_t))) {
    window = reinterpret_cast<HWND>(
        static_cast<std::uintptr_t>(*static_cast<const std::uint64_t*>(view)));
    ::UnmapViewOfFile(view);
  }
  ::CloseHandle(mapping);
  return window != nullptr && ::IsWindow(window) ? window : nullptr;
}

}  // namespace tavro::win
