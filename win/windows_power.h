#pragma once

#include "platform/power.h"

namespace tavro::win {

// Shuts Windows down or suspends it, as the after-run action asks.
class WindowsPower final : public Power {
 public:
  void requestShutDown() override;
  void requestSuspend() override;
};

}  // namespace tavro::win
