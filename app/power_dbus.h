#pragma once

#include "platform/power.h"

namespace tavro {

// Asks systemd-logind over the system bus, without waiting for its answer.
class LogindPower final : public Power {
 public:
  void requestShutDown() override;
  void requestSuspend() override;
};

}  // namespace tavro
