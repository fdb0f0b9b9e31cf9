#pragma once

#include "schedule/plain_settings_panel.h"

namespace tavro::testkit {

using FakeSettingsPanel = PlainSettingsPanel;

}  // namespace tavro::testkit
