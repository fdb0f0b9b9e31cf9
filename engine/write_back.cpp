#include "engine/write_back.h"

#include <utility>

namespace tavro {

EarlyWriteBack::EarlyWriteBack(std::function<void()> sync, std::chrono::milliseconds pause)
    : syncs_(std::async(std::launch::async, [this, sync = std::move(sync), pause] {
        std::unique_lock lock(mutex_);
        // The pause counts from the end of the last sync, so a slow disk is
        // never asked twice at once.
        while (!wake_.wait_for(lock, pause, [this] { return done_; })) {
          lock.unlock();
          sync();
          lock.lock();
        }
      })) {}

void EarlyWriteBack::end(const std::function<void()>& meanwhile) {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_one();
  while (syncs_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) meanwhile();
}

EarlyWriteBack::~EarlyWriteBack() {
  end([] {});
}

}  // namespace tavro
