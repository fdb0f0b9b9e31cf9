#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/regional_formats.h"

namespace tavro {

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const TimeOfDay&) const = default;
};

// The integer rule of the settings file: optional leading blanks, an
// optional sign, then decimal digits that fit in 32 bits signed, or
// hexadecimal digits after "$" or "0x" (at most eight; read as 32 bits).
std::optional<std::int32_t> parseSettingsInteger(std::string_view text);

// A time as the settings file and the regional settings write it: an hour,
// optionally ":" minutes, ":" seconds and the decimal separator with
// milliseconds, with an AM/PM designator (the regional one, or AM and PM)
// before or after it. Anything else, or a field out of range, is nullopt.
std::optional<TimeOfDay> parseTimeText(std::string_view text, const RegionalFormats& formats);

// The time in the long time format of the regional settings.
std::string formatTimeText(const TimeOfDay& time, const RegionalFormats& formats);

}  // namespace tavro
