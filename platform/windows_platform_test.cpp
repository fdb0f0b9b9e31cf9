// The Windows side of the platform seams, run under wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "platform/file_text.h"
#include "platform/program_paths.h"
#include "platform/regional_formats.h"
#include "platform/windows_text.h"

namespace tavro {
namespace {

TEST(WindowsPlatformTest, TextCrossesToUtf16AndBackWhole) {
  const std::string czech = "Účty/žluťoučký kůň \xF0\x9F\x98\x80";  // and one beyond 16 bits
  const std::wstring wide = windows::wide(czech);
  EXPECT_EQ(wide.size(), 21u) << "the emoji takes two UTF-16 units";
  EXPECT_EQ(wide[0], L'\u00DA');
  EXPECT_EQ(windows::narrow(wide), czech);
  EXPECT_EQ(windows::narrow(windows::wide("")), "");
}

// Beside tavro.exe when a Tavro.ini lies there, else in %APPDATA%\Tavro.
TEST(WindowsPlatformTest, TheFilesLiveInAppDataUnlessTheProgramIsPortable) {
  ASSERT_EQ(::_putenv_s("APPDATA", "C:\\Users\\Someone\\AppData\\Roaming"), 0);
  ProgramPaths paths = ProgramPaths::locate();
  EXPECT_EQ(paths.settingsFile, "C:\\Users\\Someone\\AppData\\Roaming\\Tavro\\Tavro.ini");
  EXPECT_EQ(paths.logFile, "C:\\Users\\Someone\\AppData\\Roaming\\Tavro\\Tavro.log");
  EXPECT_EQ(paths.pairTable, "Tavro.csv");

  const std::string beside = ProgramPaths::executableFolder() + "\\Tavro.ini";
  std::ofstream(windows::wide(beside).c_str()) << "[Main]\r\n";
  paths = ProgramPaths::locate();
  std::remove(beside.c_str());
  EXPECT_EQ(paths.settingsFile, beside);
  EXPECT_EQ(paths.logFile, ProgramPaths::executableFolder() + "\\Tavro.log");
}

TEST(WindowsPlatformTest, TheLocalesFormatsGiveADateWithDayMonthAndYear) {
  const RegionalFormats formats = RegionalFormats::fromLocale();
  const std::string date = formatShortDate({2026, 12, 9, 0, 0, 0, 0}, formats);
  EXPECT_NE(date.find("9"), std::string::npos) << date;
  EXPECT_NE(date.find("12"), std::string::npos) << date;
  EXPECT_NE(date.find("26"), std::string::npos) << date;
  if (::GetACP() == 1250) {
    EXPECT_EQ(date, "9. 12. 2026") << "a Czech system's \"d. M. yyyy\", no zeros added";
  }
  EXPECT_FALSE(formats.am.empty());
  EXPECT_FALSE(formats.pm.empty());
}

// Tavro.csv, Tavro.ini and Tavro.log as a Czech Windows keeps them.
TEST(WindowsPlatformTest, TextFilesAreAnsiUnlessACharacterDoesNotFit) {
  if (::GetACP() != 1250) GTEST_SKIP() << "needs the Czech code page 1250, not " << ::GetACP();
  const std::string ansi = "C:\\\xDA\xE8ty,D:\\Z\xE1loha,OK\r\n";  // "Účty", "Záloha"
  const FileText read = textOfFile(ansi);
  EXPECT_EQ(read.text, "C:\\Účty,D:\\Záloha,OK\r\n");
  EXPECT_FALSE(read.byteOrderMark);
  EXPECT_EQ(bytesOfFile(read.text, false), ansi)
      << "a file that fits is written back byte for byte";

  const std::string beyond = "C:\\Účty \u2192 \u6771\u4EAC,D:\\Záloha,\r\n";
  const std::string written = bytesOfFile(beyond, false);
  EXPECT_EQ(written, "\xEF\xBB\xBF" + beyond) << "never a character replaced";
  EXPECT_EQ(textOfFile(written).text, beyond);
  EXPECT_EQ(bytesOfFile("C:\\Účty", true),
            "\xEF\xBB\xBF"
            "C:\\Účty")
      << "a UTF-8 file stays so";

  EXPECT_EQ(bytesToAppend("Účty\r\n", ""), "\xEF\xBB\xBFÚčty\r\n") << "a new log";
  EXPECT_EQ(bytesToAppend("Účty\r\n", "\xEF\xBB\xBF"), "Účty\r\n");
  EXPECT_EQ(bytesToAppend("Účty \u6771\r\n", "11."), "\xDA\xE8ty ?\r\n") << "an ANSI log";
}

TEST(WindowsPlatformTest, TheClockAgreesWithTheCRuntime) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ASSERT_EQ(::localtime_s(&local, &now), 0);
  SystemClock clock;
  const LocalDateTime t = clock.now();
  EXPECT_EQ(t.year, local.tm_year + 1900);
  EXPECT_EQ(t.day, local.tm_mday);
  EXPECT_LE(std::abs(currentUtcOffset()), 14 * 3600L);
  EXPECT_GT(clock.uptimeMilliseconds(), 0u);
}

}  // namespace
}  // namespace tavro
