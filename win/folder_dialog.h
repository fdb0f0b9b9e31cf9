#pragma once

#include <windows.h>

#include <string>

#include "program/program.h"

namespace tavro::win {

// The program's one folder dialog, bd1, as Windows has it: its label at the
// top, the selected folder's path under it, the tree of drives and folders,
// OK and Cancel. It opens at the folder last confirmed in it by any command,
// else at the user's own folder.
class FolderDialog final : public FolderChooser {
 public:
  explicit FolderDialog(HWND owner) : owner_(owner) {}

  // Shows the dialog modally; true when a folder was confirmed with OK.
  bool execute(const std::string& caption, const std::string& label) override;
  std::string path() const override { return path_; }

 private:
  static int CALLBACK callback(HWND dialog, UINT message, LPARAM l, LPARAM self);

  HWND owner_;
  std::wstring caption_;
  std::wstring start_;
  std::string path_;
};

}  // namespace tavro::win
