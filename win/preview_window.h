#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "program/preview_rows.h"

namespace tavro::win {

// The window "Náhled zálohy": a summary line per pair (with the failures it
// can tell already) above the list of entries, sortable by its columns, and
// "Zálohovat", which closes it and starts the run. The list view asks for
// the rows it shows: a hundred thousand entries cost one pointer each.
class PreviewWindow {
 public:
  // Shows a new preview, closing one still open. `backUp` runs once the
  // preview has closed.
  static void show(HWND owner, std::vector<PairPreview> pairs, std::function<void()> backUp);

 private:
  PreviewWindow(HWND owner, std::vector<PairPreview> pairs, std::function<void()> backUp);
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void layOut();
  void sortBy(PreviewColumn column);
  void sort();

  HWND owner_;
  HWND window_ = nullptr;
  HWND summary_ = nullptr;
  HWND list_ = nullptr;
  HWND backUpButton_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<PairPreview> pairs_;
  std::vector<const PlannedEntry*> rows_;
  std::wstring cell_;  // the text last handed to the list view
  PreviewColumn sortColumn_ = PreviewColumn::Path;
  bool ascending_ = true;
  std::function<void()> backUp_;
};

}  // namespace tavro::win
