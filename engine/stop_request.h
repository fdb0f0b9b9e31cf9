#pragma once

namespace tavro {

// The user's request to stop a run ("Přerušit"). The run's own thread sets
// it, while the window handles its input inside processMessages(); the walks
// read it between entries and between the chunks of a file.
class StopRequest {
 public:
  void request() { requested_ = true; }
  void clear() { requested_ = false; }
  bool requested() const { return requested_; }

 private:
  bool requested_ = false;
};

// Whether a walk given `stop` (or none) is to stop now.
inline bool stopRequested(const StopRequest* stop) { return stop != nullptr && stop->requested(); }

}  // namespace tavro
