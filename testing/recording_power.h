#pragma once

#include <string>
#include <vector>

#include "platform/power.h"

namespace tavro::testkit {

// Records power requests into an event list (a display's, so the order of
// the request among the run's events can be checked). Never touches the
// real machine.
class RecordingPower : public Power {
 public:
  explicit RecordingPower(std::vector<std::string>& events) : events_(events) {}
  void requestShutDown() override { events_.push_back("power shut down"); }
  void requestSuspend() override { events_.push_back("power suspend"); }

 private:
  std::vector<std::string>& events_;
};

}  // namespace tavro::testkit
