#include "engine/write_back.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tavro {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(EarlyWriteBackTest,
     SyncsAfterEachPauseAndEndsWithoutWaitingOutThePauseButAnsweringDuringASync) {
  std::atomic<int> syncs = 0;
  {
    EarlyWriteBack often([&] { ++syncs; }, milliseconds(1));
    const auto giveUp = steady_clock::now() + std::chrono::seconds(10);
    while (syncs < 3 && steady_clock::now() < giveUp) std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_GE(syncs, 3);
  const int atEnd = syncs;
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(syncs, atEnd);

  // A sync under way is waited for with the window answering.
  std::atomic<bool> syncing = false;
  int answered = 0;
  {
    EarlyWriteBack slow(
        [&] {
          syncing = true;
          std::this_thread::sleep_for(milliseconds(100));
        },
        milliseconds(1));
    while (!syncing) std::this_thread::sleep_for(milliseconds(1));
    slow.end([&] { ++answered; });
  }
  EXPECT_GE(answered, 2);

  std::atomic<int> rare = 0;
  const auto start = steady_clock::now();
  {
    EarlyWriteBack hourly([&] { ++rare; }, std::chrono::hours(1));
  }
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(rare, 0);
}

}  // namespace
}  // namespace tavro
