#include "win/pair_grid_control.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/windows_text.h"
#include "program/window_layout.h"
#include "testing/temp_tree.h"
#include "win/window_controls.h"

namespace tavro::win {
namespace {

// The window's pair grid on a shown window, driven by the messages a user's
// keys and clicks send, over a pair table in a real file.
class PairGridControlTest : public ::testing::Test {
 protected:
  PairGridControlTest()
      : window_(::CreateWindowExW(0, L"STATIC", L"Tavro", WS_OVERLAPPEDWINDOW, 0, 0,
                                  kMainWindowWidth, kMainWindowHeight, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)),
        controls_(window_, 96),
        control_(controls_["DBGrid1"], grid_, [this] {
          ++questions_;
          return answer_;
        }) {
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
  }
  ~PairGridControlTest() override { ::DestroyWindow(window_); }

  void start(const std::string& csv) {
    tree_.file("Tavro.csv", csv);
    table_.open();
    control_.show();
    ::SetFocus(control_.list());
  }
  static void pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
  // A key as the user presses it, to the open editor or else the grid.
  void press(WPARAM key, bool ctrl = false, bool shift = false) {
    BYTE keys[256] = {};
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    HWND to = control_.editor() != nullptr ? control_.editor() : control_.list();
    ::SendMessageW(to, WM_KEYDOWN, key, 0);
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    pump();
  }
  void type(const std::wstring& text) {
    for (wchar_t c : text) {
      HWND to = control_.editor() != nullptr ? control_.editor() : control_.list();
      ::SendMessageW(to, WM_CHAR, c, 0);
    }
  }
  void click(int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    ::SendMessageW(control_.list(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    ::SendMessageW(control_.list(), WM_LBUTTONDOWN, MK_LBUTTON,
                   MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    pump();
  }
  // What the list shows.
  int rows() const {
    return static_cast<int>(::SendMessageW(control_.list(), LVM_GETITEMCOUNT, 0, 0));
  }
  std::string cell(int row, int column) const {
    wchar_t text[260] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 260;
    ::SendMessageW(control_.list(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return windows::narrow(text);
  }
  std::string csv() const { return tree_.read("Tavro.csv"); }

  testkit::TempTree tree_;
  SystemFileSystem fs_;
  PairTable table_{fs_, tree_.path("Tavro.csv")};
  PairGrid grid_{table_};
  HWND window_;
  WindowControls controls_;
  int questions_ = 0;
  bool answer_ = true;
  PairGridControl control_;
};

TEST_F(PairGridControlTest, ACellTypedIntoReachesTheFileWhenTheRowIsLeft) {
  start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
  click(1, 2);  // a click opens the cell's editor, its text all selected
  ASSERT_NE(control_.editor(), nullptr);
  type(L"chyba \"x\"");
  press(VK_RETURN);
  EXPECT_EQ(control_.editor(), nullptr);
  EXPECT_EQ(cell(1, 2), "chyba \"x\"");
  EXPECT_EQ(csv(), "SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");  // the row is still open
  press(VK_UP);
  EXPECT_EQ(csv(), "SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,\"chyba \"\"x\"\"\"\r\n");

  // Typing on the grid opens the editor with what was typed; Tab assigns it
  // and opens the next cell's editor, and Esc there, with nothing typed,
  // drops the whole row's changes.
  press(VK_HOME);
  type(L"XY");
  press(VK_TAB);
  EXPECT_EQ(cell(0, 0), "XY");
  ASSERT_NE(control_.editor(), nullptr);
  EXPECT_EQ(control_.currentColumn(), 1);
  press(VK_ESCAPE);
  EXPECT_EQ(control_.editor(), nullptr);
  EXPECT_EQ(cell(0, 0), "/a");
  // Typing then Esc undoes only the typing; F2 opens the editor as it was.
  press(VK_F2);
  type(L"/zzz");
  press(VK_ESCAPE);
  EXPECT_EQ(cell(0, 1), "/b");
  EXPECT_FALSE(table_.isEditing());
}

TEST_F(PairGridControlTest, InsertDownAndEscapeOpenAndDropRows) {
  start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n");
  press(VK_DOWN);
  press(VK_INSERT);  // a new row before /c
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(grid_.currentRow(), 1);
  EXPECT_EQ(cell(1, 0), "");
  press(VK_UP);  // left untouched: dropped
  EXPECT_EQ(rows(), 2);
  EXPECT_EQ(cell(1, 0), "/c");

  press(VK_DOWN);
  press(VK_DOWN);  // on the last row: a new row after it
  EXPECT_EQ(rows(), 3);
  type(L"/e");
  press(VK_RETURN);
  click(0, 1);  // leaving the row stores it, in the file at once
  EXPECT_EQ(table_.recordCount(), 3);
  EXPECT_EQ(csv(), "SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n/e,,\r\n");
  type(L"/changed");
  press(VK_RETURN);
  EXPECT_EQ(cell(0, 1), "/changed");
  press(VK_ESCAPE);  // no typing pending: the row's changes go
  EXPECT_EQ(cell(0, 1), "/b");
}

TEST_F(PairGridControlTest, CtrlDeleteRemovesOnlyTheRowItAskedAbout) {
  start("SRC,TRG,STAV\r\n/a,/b,OK\r\n/c,/d,OK\r\n/e,/f,OK\r\n");
  press(VK_DELETE);  // without Ctrl: nothing
  answer_ = false;
  press(VK_DELETE, true);
  EXPECT_EQ(questions_, 1);
  EXPECT_EQ(rows(), 3);
  answer_ = true;
  press(VK_DOWN);
  press(VK_INSERT);  // a new row before /c: OK drops it and nothing else
  press(VK_DELETE, true);
  EXPECT_EQ(questions_, 2);
  EXPECT_EQ(table_.recordCount(), 3);
  EXPECT_EQ(cell(1, 0), "/c");

  // In an open editor Ctrl+Delete asks too, and the typing stays in the row.
  click(1, 1);
  type(L"/typed");
  answer_ = false;
  press(VK_DELETE, true);
  EXPECT_EQ(questions_, 3);
  EXPECT_EQ(control_.editor(), nullptr);
  EXPECT_EQ(cell(1, 1), "/typed");
  answer_ = true;
  press(VK_DELETE, true);
  EXPECT_EQ(csv(), "SRC,TRG,STAV\r\n/a,/b,OK\r\n/e,/f,OK\r\n");
  EXPECT_EQ(cell(1, 0), "/e");
}

TEST_F(PairGridControlTest, CtrlTabLeavesTheGridAndTakesAnUntouchedNewRowAlong) {
  start("SRC,TRG,STAV\r\n/a,/b,OK\r\n");
  press(VK_INSERT);
  EXPECT_EQ(rows(), 2);
  press(VK_TAB, true);
  EXPECT_NE(::GetFocus(), control_.list());
  EXPECT_NE(::GetFocus(), nullptr);
  EXPECT_EQ(rows(), 1);

  // While a run walks the pairs: the keys move, nothing edits, and an open
  // editor goes without its text.
  ::SetFocus(control_.list());
  click(0, 0);
  type(L"/x");
  control_.setEditingEnabled(false);
  EXPECT_EQ(control_.editor(), nullptr);
  type(L"q");
  press(VK_INSERT);
  press(VK_DOWN);
  click(0, 1);
  EXPECT_EQ(control_.editor(), nullptr);
  EXPECT_EQ(rows(), 1);
  EXPECT_EQ(cell(0, 0), "/a");
}

}  // namespace
}  // namespace tavro::win
