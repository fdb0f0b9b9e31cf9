#pragma once

namespace tavro {

// Shutting the computer down or suspending it. Requests are sent and not
// awaited; whether the system grants them is not reported.
class Power {
 public:
  virtual ~Power() = default;
  virtual void requestShutDown() = 0;
  virtual void requestSuspend() = 0;
};

}  // namespace tavro
