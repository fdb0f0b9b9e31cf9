#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>

namespace tavro {

// While a pass writes many new files, a helper thread puts what is written
// so far on the disk every `pause`, so the disk writes while the walk goes on
// (on the other core) and the closing sync of the run finds little left. The
// closing sync stays: it is what makes a run that says "OK" survive a power
// cut. The first sync comes only after one pause, so short runs never pay.
class EarlyWriteBack {
 public:
  EarlyWriteBack(std::function<void()> sync, std::chrono::milliseconds pause);
  // Ends without waiting out the pause. A sync under way may take seconds on
  // a slow disk; `meanwhile` is called every 10 ms until it is done, so the
  // window keeps answering.
  void end(const std::function<void()>& meanwhile);
  ~EarlyWriteBack();

  EarlyWriteBack(const EarlyWriteBack&) = delete;
  EarlyWriteBack& operator=(const EarlyWriteBack&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::future<void> syncs_;
};

}  // namespace tavro
