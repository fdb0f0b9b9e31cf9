#include "win/window_controls.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/windows_text.h"
#include "program/window_layout.h"

namespace tavro::win {
namespace {

int lastCommand = 0;

LRESULT CALLBACK recordCommands(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_COMMAND) lastCommand = LOWORD(w);
  return ::DefWindowProcW(window, message, w, l);
}

class WindowControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = recordCommands;
    c.hInstance = ::GetModuleHandleW(nullptr);
    c.lpszClassName = L"TavroTestWindow";
    ::RegisterClassExW(&c);
    window = ::CreateWindowExW(0, L"TavroTestWindow", L"Tavro", WS_OVERLAPPEDWINDOW, 0, 0,
                               kMainWindowWidth, kMainWindowHeight, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override { ::DestroyWindow(window); }

  HWND window = nullptr;
};

std::wstring textOf(HWND control) {
  wchar_t text[256] = {};
  ::GetWindowTextW(control, text, 256);
  return text;
}

std::wstring classOf(HWND control) {
  wchar_t name[64] = {};
  ::GetClassNameW(control, name, 64);
  return name;
}

TEST_F(WindowControlsTest, EveryControlOfTheTableStandsInItsPlaceWithItsCaption) {
  // Built on a screen of 100 % and moved to one of 150 %.
  const int dpi = 144;
  WindowControls controls(window, 96);
  controls.rescale(dpi);
  for (const ControlPlace& place : mainWindowControls()) {
    SCOPED_TRACE(place.name);
    HWND control = controls[place.name];
    ASSERT_NE(control, nullptr);
    HWND parent = place.parent == nullptr ? window : controls[place.parent];
    EXPECT_EQ(::GetParent(control), parent);
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, scaled(place.x, dpi));
    EXPECT_EQ(r.top, scaled(place.y, dpi));
    // A rule keeps its own thickness; the days share their width with
    // their arrows.
    if (place.kind == ControlKind::Rule || place.kind == ControlKind::Spin) continue;
    if (place.kind == ControlKind::PairButton) {
      // As wide as the caption needs, at the least as the table says.
      EXPECT_GE(r.right - r.left, scaled(place.w, dpi));
    } else {
      EXPECT_EQ(r.right - r.left, scaled(place.w, dpi));
    }
    {
      EXPECT_EQ(r.bottom - r.top, scaled(place.h, dpi));
      if (place.kind != ControlKind::TimeEdit) {
        EXPECT_EQ(textOf(control), windows::wide(place.caption));
      }
    }
  }
  EXPECT_EQ(classOf(controls["DBGrid1"]), L"SysListView32");
  // The longest state shows whole in its column.
  HWND grid = controls["DBGrid1"];
  HDC dc = ::GetDC(grid);
  HGDIOBJ before = ::SelectObject(dc, controls.font());
  SIZE state{};
  ::GetTextExtentPoint32W(dc, L"Neprovedeno", 11, &state);
  ::SelectObject(dc, before);
  ::ReleaseDC(grid, dc);
  EXPECT_GT(::SendMessageW(grid, LVM_GETCOLUMNWIDTH, 2, 0), state.cx);
  EXPECT_EQ(classOf(controls["cxTimeEdit1"]), L"SysDateTimePick32");
  EXPECT_EQ(classOf(controls["G2"]), L"msctls_progress32");
  EXPECT_EQ(controls["no such control"], nullptr);
}

// A click on a button inside a group box or inside the settings panel
// reaches the window, which handles every command.
TEST_F(WindowControlsTest, ClicksReachTheWindowAndEachRadioGroupHoldsOneChoice) {
  WindowControls controls(window, 96);
  const auto table = mainWindowControls();
  for (const char* name : {"BitBtn2", "JvXPButton1", "RG1Item1", "BitBtn1"}) {
    SCOPED_TRACE(name);
    int index = 0;
    while (std::string(table[index].name) != name) ++index;
    lastCommand = 0;
    ::SendMessageW(controls[name], BM_CLICK, 0, 0);
    EXPECT_EQ(lastCommand, WindowControls::idOf(index));
  }
  // The two radio buttons of the schedule are one group, with other
  // controls between them; the after-run group is another.
  ::SendMessageW(controls["RG1Item0"], BM_CLICK, 0, 0);
  ::SendMessageW(controls["RG2Item0"], BM_CLICK, 0, 0);
  ::SendMessageW(controls["RG2Item1"], BM_CLICK, 0, 0);
  EXPECT_EQ(::SendMessageW(controls["RG2Item0"], BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(::SendMessageW(controls["RG2Item1"], BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(controls["RG1Item0"], BM_GETCHECK, 0, 0), BST_CHECKED);
}

}  // namespace
}  // namespace tavro::win
