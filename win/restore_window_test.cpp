#include "win/restore_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/pair_mirror.h"
#include "platform/file_system.h"
#include "testing/recording_display.h"
#include "testing/temp_tree.h"

namespace tavro::win {
namespace {

// What the test does inside the window's own message loop.
std::function<void()> inTheLoop;

void CALLBACK onTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  inTheLoop();
}

// "Přerušit" clicked, and Esc pressed, while the window copies: the input
// waits in the queue as the user's does, and the restore stops before its
// next file; after Esc the window goes too.
TEST(RestoreWindowTest, PrerusitAndEscStopARestoreAndEscClosesTheWindowAfterIt) {
  testkit::TempTree tree;
  SystemFileSystem fs;
  for (int i = 0; i < 20; ++i) tree.file("data/docs/f" + std::to_string(i) + ".txt", "x");
  tree.folder("backup");
  testkit::RecordingDisplay display;
  mirrorPair(fs, display, tree.path("data/docs"), tree.path("backup"), PairOptions{});
  RestoreView view(fs, {tree.path("data/docs"), tree.path("backup"), "OK"});
  view.choosePoint(0);

  HWND owner = ::CreateWindowExW(0, L"STATIC", L"Tavro", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                 nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  HWND window = nullptr;
  HWND stop = nullptr;
  std::function<void()> userInput;  // posted once the restore has been asked for
  std::vector<std::string> reports;
  RestoreHooks hooks;
  hooks.now = [] { return LocalDateTime{2026, 12, 11, 10, 0, 0, 0}; };
  hooks.chooseFolder = [&] {
    userInput();
    return std::optional<std::string>(tree.folder("elsewhere"));
  };
  hooks.report = [&](const std::string& text, bool problems) {
    EXPECT_TRUE(problems);
    reports.push_back(text);
  };
  inTheLoop = [&] {
    window = ::FindWindowW(L"TavroRestore", nullptr);
    ASSERT_NE(window, nullptr);
    stop = ::FindWindowExW(window, nullptr, L"BUTTON", L"Přerušit");
    HWND elsewhere = ::FindWindowExW(window, nullptr, L"BUTTON", L"Obnovit do…");
    ASSERT_FALSE(::IsWindowVisible(stop));

    userInput = [&] {
      ::PostMessageW(stop, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
      ::PostMessageW(stop, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    };
    ::SendMessageW(elsewhere, BM_CLICK, 0, 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(::IsWindowVisible(stop));

    userInput = [&] { ::PostMessageW(stop, WM_KEYDOWN, VK_ESCAPE, 0); };
    ::SendMessageW(elsewhere, BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
  };
  ::SetTimer(nullptr, 0, 0, onTimer);
  RestoreWindow::run(owner, view, std::move(hooks));

  ASSERT_EQ(reports.size(), 2u);
  for (const std::string& report : reports) {
    EXPECT_EQ(report.rfind("Obnova přerušena. Obnoveno položek: 0,", 0), 0u) << report;
  }
  EXPECT_TRUE(tree.listing("elsewhere").empty());
  ::DestroyWindow(owner);
}

}  // namespace
}  // namespace tavro::win
