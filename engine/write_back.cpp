#include "engine/write_back.h"

#include <utility>

namespace tavro {

EarlyWriteBack::EarlyWriteBack(std::function<void()> sync, std::chrono::milliseconds pause)
    : thread_([this, sync = std::move(sync), pause] {
        std::unique_lock lock(mutex_);
        // The pause counts from the end of the last sync, so a slow disk is
        // never asked twice at once.
        while (!wake_.wait_for(lock, pause, [this] { return done_; })) {
          lock.unlock();
          sync();
          lock.lock();
        }
      }) {}

EarlyWriteBack::~EarlyWriteBack() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

}  // namespace tavro
