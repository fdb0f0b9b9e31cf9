#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace tavro {

// A second thread for the walks' lookups. A run spends most of a re-run in
// the kernel looking up entries one by one, on a warm cache as work for the
// processor, on a cold one waiting for the disk; with the target's lookups on
// this thread and the source's on the walk's own, two are in flight at once.
// The copy pass has a second one that copies a folder it created while the
// walk goes on. The thread starts with the first job, so walks that never
// hand one over cost nothing.
class LookupWorker {
 public:
  LookupWorker() = default;
  ~LookupWorker();
  LookupWorker(const LookupWorker&) = delete;
  LookupWorker& operator=(const LookupWorker&) = delete;

  // Runs `job` on the worker. One job at a time: finish() comes between.
  void start(std::function<void()> job);
  // Waits for the started job, and throws what it threw.
  void finish();
  // Whether no job is running, after waiting for one at most `wait`.
  bool idleWithin(std::chrono::milliseconds wait);
  // Waits for the started job and forgets what it threw: for a caller that
  // is already on its way out with an exception of its own.
  void abandon() noexcept;

 private:
  void serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  std::exception_ptr failure_;
  bool busy_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace tavro
