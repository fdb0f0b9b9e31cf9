#pragma once

#include <atomic>

namespace tavro {

// The user's request to stop a run ("Přerušit"). The run's own thread sets
// it, while the window handles its input inside processMessages(); the walks
// read it between entries and between the chunks of a file, the copy of new
// folders beside the walk on its own thread.
class StopRequest {
 public:
  void request() { requested_.store(true, std::memory_order_relaxed); }
  void clear() { requested_.store(false, std::memory_order_relaxed); }
  bool requested() const { return requested_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> requested_ = false;
};

// Whether a walk given `stop` (or none) is to stop now.
inline bool stopRequested(const StopRequest* stop) { return stop != nullptr && stop->requested(); }

}  // namespace tavro
