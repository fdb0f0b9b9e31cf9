#include "win/instance_lock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace tavro::win {
namespace {

// A mutex is its owner's again and again: a second program is another
// thread here.
InstanceLock::Outcome acquireElsewhere(const std::string& settingsFile) {
  InstanceLock::Outcome outcome{};
  std::thread([&] {
    InstanceLock other;
    std::string reason;
    outcome = other.acquire(settingsFile, &reason);
  }).join();
  return outcome;
}

TEST(InstanceLockTest, OneProgramPerSettingsFileHoweverItsPathIsWritten) {
  std::string reason;
  {
    InstanceLock lock;
    ASSERT_EQ(lock.acquire("C:\\Users\\Eva\\Tavro.ini", &reason), InstanceLock::Outcome::Acquired);
    EXPECT_EQ(acquireElsewhere("c:/users/eva/TAVRO.INI"), InstanceLock::Outcome::HeldElsewhere);
    EXPECT_EQ(acquireElsewhere("D:\\Tavro\\Tavro.ini"), InstanceLock::Outcome::Acquired);
  }
  EXPECT_EQ(acquireElsewhere("C:\\Users\\Eva\\Tavro.ini"), InstanceLock::Outcome::Acquired);
}

// A second start finds the first one's window by the settings file, as
// Windows writes its path, and nobody else's.
TEST(InstanceLockTest, TheHolderTellsLaterStartsWhereItsWindowIs) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"Tavro", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  std::string reason;
  {
    InstanceLock lock;
    ASSERT_EQ(lock.acquire("C:\\Zalohy\\Tavro.ini", &reason), InstanceLock::Outcome::Acquired);
    lock.publishWindow(window);
    EXPECT_EQ(InstanceLock::windowOf("c:/zalohy/tavro.ini"), window);
    EXPECT_EQ(InstanceLock::windowOf("C:\\Jinde\\Tavro.ini"), nullptr);
    // One that is not the holder publishes nothing.
    InstanceLock other;
    other.publishWindow(::GetDesktopWindow());
    EXPECT_EQ(InstanceLock::windowOf("C:\\Zalohy\\Tavro.ini"), window);
  }
  // The holder ended: what it published goes with it.
  EXPECT_EQ(InstanceLock::windowOf("C:\\Zalohy\\Tavro.ini"), nullptr);
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace tavro::win
