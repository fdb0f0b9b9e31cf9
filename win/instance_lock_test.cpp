#include "win/instance_lock.h"

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

}  // namespace
}  // namespace tavro::win
