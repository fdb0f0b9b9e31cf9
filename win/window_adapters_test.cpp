#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/windows_text.h"
#include "program/window_layout.h"
#include "win/tray_icon.h"
#include "win/window_controls.h"
#include "win/window_run_display.h"
#include "win/window_settings_panel.h"

namespace tavro::win {
namespace {

// The settings panel and the run display on real controls of a window
// that is never shown.
class WindowAdaptersTest : public ::testing::Test {
 protected:
  WindowAdaptersTest()
      : window_(::CreateWindowExW(0, L"STATIC", L"Tavro", WS_OVERLAPPEDWINDOW, 0, 0,
                                  kMainWindowWidth, kMainWindowHeight, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)),
        controls_(window_, 96),
        tray_(window_, ::LoadIconW(nullptr, IDI_APPLICATION)),
        panel_(controls_),
        display_(window_, controls_, tray_) {}
  ~WindowAdaptersTest() override { ::DestroyWindow(window_); }

  bool shown(const char* name) const {
    return (::GetWindowLongPtrW(controls_[name], GWL_STYLE) & WS_VISIBLE) != 0;
  }
  std::string text(const char* name) const {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(controls_[name], buffer, 512);
    return windows::narrow(buffer);
  }
  void setText(const char* name, const wchar_t* text) { ::SetWindowTextW(controls_[name], text); }

  HWND window_;
  WindowControls controls_;
  TrayIcon tray_;
  WindowSettingsPanel panel_;
  WindowRunDisplay display_;
};

TEST_F(WindowAdaptersTest, TheSettingsComeBackAsTheyWereShown) {
  SettingsValues v;
  v.fixedTime = {7, 8, 9, 250};
  v.interval = true;
  v.afterStartMinutes = "15";
  v.repeatMinutes = "0";
  v.afterRun = AfterRunAction::Suspend;
  v.intervalMode = IntervalMode::Repeat;
  v.syncDeletions = false;
  v.historyDays = 120;
  panel_.show(v);
  // The milliseconds the picker cannot show stay while its time does.
  EXPECT_EQ(panel_.values(), v);

  SYSTEMTIME later{};
  ::SendMessageW(controls_["cxTimeEdit1"], DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&later));
  later.wSecond = 10;
  ::SendMessageW(controls_["cxTimeEdit1"], DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&later));
  EXPECT_EQ(panel_.values().fixedTime, (TimeOfDay{7, 8, 10, 0}));

  // Typed days beyond the arrows' range are the most the history keeps.
  setText("SEHist", L"99999");
  EXPECT_EQ(panel_.values().historyDays, kMaxHistoryDays);
  // A choice the file did not make shows no item checked.
  v.afterRun = AfterRunAction::NotChosen;
  v.intervalMode = IntervalMode::NotChosen;
  panel_.show(v);
  EXPECT_EQ(panel_.values().afterRun, AfterRunAction::NotChosen);
  EXPECT_EQ(panel_.values().intervalMode, IntervalMode::NotChosen);
}

TEST_F(WindowAdaptersTest, EachScheduleModeShowsItsOwnControls) {
  panel_.showModeControls(ScheduleMode::FixedTime);
  EXPECT_TRUE(shown("ECas"));
  EXPECT_FALSE(shown("Emin") || shown("EVarCas") || shown("LKaz") || shown("Lmin"));
  panel_.showModeControls(ScheduleMode::Repeat);
  EXPECT_FALSE(shown("ECas") || shown("Lmin"));
  EXPECT_TRUE(shown("Emin") && shown("EVarCas") && shown("LKaz") && shown("Lm"));
  panel_.showModeControls(ScheduleMode::AfterStart);
  EXPECT_TRUE(shown("Lmin") && !shown("LKaz"));
  panel_.setScheduleDisplay(ScheduleDisplay::NextRun, "14:30");
  EXPECT_EQ(panel_.scheduleDisplay(ScheduleDisplay::NextRun), "14:30");
  EXPECT_EQ(panel_.scheduleDisplay(ScheduleDisplay::FixedTime), "  :  ");
  panel_.setOpen(true);
  EXPECT_TRUE(panel_.isOpen());
  panel_.collapse();
  EXPECT_FALSE(panel_.isOpen());
}

TEST_F(WindowAdaptersTest, ARunShowsItsProgressAndEndsAmberAfterFailures) {
  const COLORREF waiting = display_.statusBackground();
  display_.runStarted();
  display_.showProgress(3);
  EXPECT_TRUE(shown("G1") && shown("BBPrerusit") && shown("Label17"));
  EXPECT_EQ(display_.statusBackground(), RGB(0, 255, 0));
  EXPECT_NE(display_.statusBackground(), waiting);
  display_.pairStarted(2, 3, "C:\\Data", "D:\\Zaloha");
  EXPECT_EQ(text("Label7"), "C:\\Data");
  EXPECT_EQ(text("Label15") + "/" + text("Label16"), "2/3");
  display_.addLine("Nelze číst zdroj: C:\\Data !!!");
  EXPECT_EQ(::SendMessageW(controls_["LB2"], LB_GETCOUNT, 0, 0), 1);
  // A long line can be scrolled to.
  EXPECT_GT(::SendMessageW(controls_["LB2"], LB_GETHORIZONTALEXTENT, 0, 0), 100);
  display_.hideProgress();
  display_.runFinished(true);
  EXPECT_FALSE(shown("G1") || shown("BBPrerusit") || shown("Label17"));
  EXPECT_EQ(text("Label7"), "");
  EXPECT_EQ(display_.statusBackground(), RGB(255, 191, 0));
  EXPECT_TRUE(tray_.showsWarning());
  display_.runStarted();
  EXPECT_EQ(::SendMessageW(controls_["LB2"], LB_GETCOUNT, 0, 0), 0);
  display_.runFinished(false);
  EXPECT_FALSE(tray_.showsWarning());
}

// The warning variant of the tray icon: the program's icon with an amber
// triangle in its lower right corner, the rest left as it was.
TEST(TrayIconTest, TheWarningIconCarriesAnAmberTriangleInItsCorner) {
  HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
  HICON marked = iconWithWarningSign(icon, 32);
  ASSERT_NE(marked, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(marked, &info));
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = 32;
  format.bmiHeader.biHeight = -32;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  std::uint32_t pixels[32 * 32] = {};
  HDC dc = ::GetDC(nullptr);
  ::GetDIBits(dc, info.hbmColor, 0, 32, pixels, &format, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  ::DestroyIcon(marked);
  const auto amber = [](std::uint32_t p) {
    return (p & 0xFFFFFFu) == 0xFFBF00u && (p >> 24) == 0xFF;
  };
  int inCorner = 0, elsewhere = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      if (!amber(pixels[y * 32 + x])) continue;
      (x >= 12 && y >= 12 ? inCorner : elsewhere) += 1;
    }
  }
  EXPECT_GT(inCorner, 60);
  EXPECT_EQ(elsewhere, 0);
}

}  // namespace
}  // namespace tavro::win
