#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "program/restore_view.h"

namespace tavro::win {

// "Obnovit ze zálohy" on Win32: the restore points on the left, the pair's
// tree at the chosen one (indented rows with sizes and times, several
// chosen with Ctrl or Shift) under a filter box, and the two restores. Shown
// modally over its owner.
class RestoreWindow {
 public:
  // Shows the window and returns once it is closed.
  static void run(HWND owner, RestoreView& view, RestoreHooks hooks);

 private:
  RestoreWindow(HWND owner, RestoreView& view, RestoreHooks hooks);
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void layOut();
  void showTree();
  std::vector<int> chosenRows() const;
  void close();

  RestoreView& view_;
  RestoreHooks hooks_;
  HWND window_ = nullptr;
  HWND pair_ = nullptr;
  HWND pointsLabel_ = nullptr;
  HWND points_ = nullptr;
  HWND filter_ = nullptr;
  HWND tree_ = nullptr;
  HWND progress_ = nullptr;
  HWND hint_ = nullptr;
  HWND inPlace_ = nullptr;
  HWND elsewhere_ = nullptr;
  HWND close_ = nullptr;
  HWND stop_ = nullptr;  // "Přerušit", shown while a restore copies
  HFONT font_ = nullptr;
  bool done_ = false;
  bool stopRequested_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace tavro::win
