#include "engine/lookup_worker.h"

#include <utility>

namespace tavro {

LookupWorker::~LookupWorker() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void LookupWorker::start(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    job_ = std::move(job);
    busy_ = true;
  }
  if (!thread_.joinable()) {
    thread_ = std::thread([this] { serve(); });
  } else {
    changed_.notify_all();
  }
}

void LookupWorker::finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

bool LookupWorker::idleWithin(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, wait, [this] { return !busy_; });
}

void LookupWorker::abandon() noexcept {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  failure_ = nullptr;
}

void LookupWorker::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || quit_; });
    if (!busy_) return;
    auto job = std::move(job_);
    lock.unlock();
    std::exception_ptr failure;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    failure_ = failure;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace tavro
