#pragma once

#include "schedule/plain_settings_panel.h"

namespace tavro::testing {

using FakeSettingsPanel = PlainSettingsPanel;

}  // namespace tavro::testing
