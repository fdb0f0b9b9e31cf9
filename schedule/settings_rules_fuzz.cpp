// The integer rule and the time parser on arbitrary text: no crash, results
// in range, and what the parser accepts it writes back the same way.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "schedule/settings_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const auto value = tavro::parseSettingsInteger(text)) {
    if (tavro::parseSettingsInteger(std::to_string(*value)) != value) std::abort();
  }

  tavro::RegionalFormats formats;
  for (int variant = 0; variant < 2; ++variant) {
    formats.twelveHour = variant == 1;
    formats.hourLeadingZero = variant == 0;
    const auto time = tavro::parseTimeText(text, formats);
    if (!time) continue;
    if (time->hour < 0 || time->hour > 23 || time->minute < 0 || time->minute > 59 ||
        time->second < 0 || time->second > 59 || time->millisecond < 0 ||
        time->millisecond > 999) {
      std::abort();
    }
    const auto again = tavro::parseTimeText(tavro::formatTimeText(*time, formats), formats);
    if (!again || again->hour != time->hour || again->minute != time->minute ||
        again->second != time->second) {
      std::abort();
    }
  }
  return 0;
}
