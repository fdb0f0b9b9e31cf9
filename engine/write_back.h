#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tavro {

// While a pass writes many new files, a helper thread puts what is written
// so far on the disk every `pause`, so the disk writes while the walk goes on
// (on the other core) and the closing sync of the run finds little left. The
// closing sync stays: it is what makes a run that says "OK" survive a power
// cut. The first sync comes only after one pause, so short runs never pay.
class EarlyWriteBack {
 public:
  EarlyWriteBack(std::function<void()> sync, std::chrono::milliseconds pause);
  // Returns without waiting out the pause; a sync under way is finished.
  ~EarlyWriteBack();

  EarlyWriteBack(const EarlyWriteBack&) = delete;
  EarlyWriteBack& operator=(const EarlyWriteBack&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace tavro
