// The user's regional formats on Windows, from the locale settings.
#include <windows.h>

#include <string>

#include "platform/regional_formats.h"
#include "platform/windows_text.h"

namespace tavro {

namespace {

std::string localeText(LCTYPE what) {
  wchar_t buffer[128];
  const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buffer, 128);
  if (n <= 1) return {};
  return windows::narrow(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
}

// A Windows date picture ("d.M.yyyy", "dd/MM/yy") as a strftime pattern,
// with "%-d" for a day without its leading zero as formatShortDate reads it.
std::string datePattern(const std::string& picture) {
  std::string pattern;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    if (c == 'd') {
      pattern += run == 1 ? "%-d" : run == 2 ? "%d" : run == 3 ? "%a" : "%A";
    } else if (c == 'M') {
      pattern += run == 1 ? "%-m" : run == 2 ? "%m" : run == 3 ? "%b" : "%B";
    } else if (c == 'g') {
      // The era ("A.D."): left out.
    } else if (c == 'y') {
      pattern += run >= 3 ? "%Y" : "%y";
    } else if (c == '\'') {
      // Text in quotes is literal; the quotes go.
      const std::size_t close = picture.find('\'', i + 1);
      const std::size_t end = close == std::string::npos ? picture.size() : close;
      for (std::size_t k = i + 1; k < end; ++k)
        pattern += picture[k] == '%' ? "%%" : std::string(1, picture[k]);
      run = (close == std::string::npos ? picture.size() : close + 1) - i;
    } else if (c == '%') {
      pattern += "%%";
      run = 1;
    } else {
      pattern.append(run, c);
    }
    i += run;
  }
  return pattern;
}

}  // namespace

RegionalFormats RegionalFormats::fromLocale() {
  RegionalFormats formats;
  if (const std::string date = datePattern(localeText(LOCALE_SSHORTDATE)); !date.empty()) {
    formats.shortDate = date;
  }
  // "H:mm:ss", "hh:mm:ss tt", "tt h:mm:ss": the hour's letter and count,
  // and where the designator stands.
  const std::string time = localeText(LOCALE_STIMEFORMAT);
  const auto hourAt = time.find_first_of("hH");
  if (hourAt != std::string::npos) {
    formats.twelveHour = time[hourAt] == 'h';
    formats.hourLeadingZero = hourAt + 1 < time.size() && time[hourAt + 1] == time[hourAt];
  }
  const auto designatorAt = time.find('t');
  formats.designatorAt = designatorAt != std::string::npos && designatorAt < hourAt
                             ? RegionalFormats::Designator::Before
                             : RegionalFormats::Designator::After;
  if (const std::string am = localeText(LOCALE_S1159); !am.empty()) formats.am = am;
  if (const std::string pm = localeText(LOCALE_S2359); !pm.empty()) formats.pm = pm;
  if (const std::string point = localeText(LOCALE_SDECIMAL); !point.empty()) {
    formats.decimalSeparator = point[0];
  }
  return formats;
}

}  // namespace tavro
