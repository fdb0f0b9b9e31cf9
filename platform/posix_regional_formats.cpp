// The regional formats of the POSIX locale (LC_TIME and LC_NUMERIC).
#include <langinfo.h>

#include <string>

#include "platform/regional_formats.h"

namespace tavro {

namespace {

std::string expandTimeFormat(std::string format) {
  // Compound directives spelled out, so the hour and the designator can be
  // found in them.
  const struct {
    const char* directive;
    const char* expansion;
  } compounds[] = {{"%r", nullptr}, {"%T", "%H:%M:%S"}, {"%R", "%H:%M"}, {"%X", "%H:%M:%S"}};
  for (const auto& c : compounds) {
    for (auto at = format.find(c.directive); at != std::string::npos;
         at = format.find(c.directive)) {
      const char* expansion = c.expansion ? c.expansion : ::nl_langinfo(T_FMT_AMPM);
      if (expansion == nullptr || *expansion == '\0' ||
          std::string(expansion).find(c.directive) != std::string::npos) {
        expansion = "%I:%M:%S %p";
      }
      format.replace(at, 2, expansion);
    }
  }
  return format;
}

}  // namespace

RegionalFormats RegionalFormats::fromLocale() {
  RegionalFormats formats;
  if (const char* date = ::nl_langinfo(D_FMT); date != nullptr && *date != '\0') {
    formats.shortDate = date;
  }
  const std::string time = expandTimeFormat(::nl_langinfo(T_FMT));
  std::size_t hourAt = std::string::npos;
  for (const char* directive : {"%H", "%k", "%I", "%l"}) {
    const auto at = time.find(directive);
    if (at == std::string::npos || at > hourAt) continue;
    hourAt = at;
    formats.twelveHour = directive[1] == 'I' || directive[1] == 'l';
    formats.hourLeadingZero = directive[1] == 'H' || directive[1] == 'I';
  }
  const auto designatorAt = time.find("%p");
  formats.designatorAt = designatorAt != std::string::npos && designatorAt < hourAt
                             ? RegionalFormats::Designator::Before
                             : RegionalFormats::Designator::After;
  if (const char* am = ::nl_langinfo(AM_STR); am != nullptr && *am != '\0') formats.am = am;
  if (const char* pm = ::nl_langinfo(PM_STR); pm != nullptr && *pm != '\0') formats.pm = pm;
  if (const char* radix = ::nl_langinfo(RADIXCHAR); radix != nullptr && *radix != '\0') {
    formats.decimalSeparator = radix[0];
  }
  return formats;
}

}  // namespace tavro
