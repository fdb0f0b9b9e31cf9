#pragma once

#include <windows.h>

#include <string>

namespace tavro::win {

// One program per settings file: a named mutex of the user's session, named
// after the settings file's path. Windows releases it when the process
// ends, however it ends.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Outcome { Acquired, HeldElsewhere, Unavailable };
  // `reason` is set after Unavailable.
  Outcome acquire(const std::string& settingsFile, std::string* reason);

  // The holder tells later starts where its window is: a small shared
  // block named after the lock holds the window's handle.
  void publishWindow(HWND window);
  // The window the lock's holder published; null when there is none.
  static HWND windowOf(const std::string& settingsFile);

  // The mutex's name for a settings file: paths that Windows takes for one
  // file (letters in either case, either separator) give one name.
  static std::wstring nameFor(const std::string& settingsFile);

 private:
  HANDLE mutex_ = nullptr;
  HANDLE published_ = nullptr;
  std::string settingsFile_;
};

}  // namespace tavro::win
