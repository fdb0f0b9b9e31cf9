#include "schedule/settings_rules.h"

#include "platform/text.h"

namespace tavro {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal digits only; nullopt for none, anything else, or more than `limit`.
std::optional<std::int64_t> decimal(std::string_view digits, std::int64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<std::int32_t> parseSettingsInteger(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::string_view hex;
  if (!text.empty() && text.front() == '$') {
    hex = text.substr(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = text.substr(2);
  }
  if (hex.data() != nullptr) {
    if (hex.empty() || hex.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : hex) {
      const int d = digitValue(c);
      if (d < 0) return std::nullopt;
      value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    const auto signedValue = static_cast<std::int32_t>(value);
    return negative ? static_cast<std::int32_t>(0u - value) : signedValue;
  }
  const auto value = decimal(text, negative ? 2147483648LL : 2147483647LL);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -*value : *value);
}

std::optional<TimeOfDay> parseTimeText(std::string_view text, const RegionalFormats& formats) {
  text = trimBlanks(text);
  // The designator may stand before or after the time.
  int designator = 0;  // 0 none, 1 AM, 2 PM
  const std::string_view names[4] = {formats.am, formats.pm, "AM", "PM"};
  for (int i = 0; i < 4 && designator == 0; ++i) {
    if (names[i].empty()) continue;
    if (startsWithIgnoringCase(text, names[i])) {
      text = trimBlanks(text.substr(names[i].size()));
      designator = i % 2 + 1;
    } else if (endsWithNoCase(text, names[i])) {
      text = trimBlanks(text.substr(0, text.size() - names[i].size()));
      designator = i % 2 + 1;
    }
  }

  TimeOfDay time;
  std::string_view rest = text;
  auto takeNumber = [&](std::int64_t limit) -> std::optional<int> {
    std::size_t n = 0;
    while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') ++n;
    const auto value = decimal(rest.substr(0, n), limit);
    rest.remove_prefix(n);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
  };

  const auto hour = takeNumber(designator != 0 ? 12 : 23);
  if (!hour) return std::nullopt;
  time.hour = *hour;
  if (!rest.empty() && rest.front() == ':') {
    rest.remove_prefix(1);
    const auto minute = takeNumber(59);
    if (!minute) return std::nullopt;
    time.minute = *minute;
    if (!rest.empty() && rest.front() == ':') {
      rest.remove_prefix(1);
      const auto second = takeNumber(59);
      if (!second) return std::nullopt;
      time.second = *second;
      if (!rest.empty() && rest.front() == formats.decimalSeparator) {
        rest.remove_prefix(1);
        const auto ms = takeNumber(999);
        if (!ms) return std::nullopt;
        time.millisecond = *ms;
      }
    }
  }
  if (!rest.empty()) return std::nullopt;
  if (designator != 0) {
    if (time.hour < 1) return std::nullopt;
    time.hour %= 12;
    if (designator == 2) time.hour += 12;
  }
  return time;
}

std::string formatTimeText(const TimeOfDay& time, const RegionalFormats& formats) {
  return formatLongTime(time.hour, time.minute, time.second, formats);
}

}  // namespace tavro
