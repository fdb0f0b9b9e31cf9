#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "program/window_program.h"
#include "win/folder_dialog.h"
#include "win/pair_grid_control.h"
#include "win/tray_icon.h"
#include "win/window_controls.h"
#include "win/window_run_display.h"
#include "win/window_settings_panel.h"

namespace tavro::win {

// The main window on Win32: its controls, its tray icon and the handlers
// that pass the user's commands to the program core.
class MainWindow final : private WindowShell, private FolderChooser {
 public:
  static constexpr wchar_t kClassName[] = L"TavroMainWindow";

  explicit MainWindow(const ProgramServices& services);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  // Start-up, the window shown, the message loop until the end, the end.
  // Returns the program's exit status.
  int run();
  // Shows the window from the tray (a second start asks for it with
  // showRequest()).
  void restore();
  // The message another start posts to ask the window to show itself.
  static UINT showRequest();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT handle(UINT message, WPARAM w, LPARAM l);
  void command(HWND control, UINT notification);
  void trayMessage(UINT event);
  HBRUSH colours(HDC dc, HWND control, UINT message);
  void dress();
  void dressFonts();
  void dpiChanged(int dpi, const RECT& suggested);
  void preview();
  void about();
  // Runs a pair list command; the grid then shows the table as it is.
  void pairCommand(void (Program::*command)());
  void showFilePaths();
  bool is(HWND control, const char* name) const { return control == (*controls_)[name]; }
  // Shows a box or dialog; the end waits while one is open.
  int modal(const std::function<int()>& show);
  // A message box owned by the window, or by `owner`.
  int box(const std::string& text, const wchar_t* caption, UINT flags, HWND owner = nullptr);

  // WindowShell
  void showWarning(const std::string& message) override;
  void showTable() override;
  void setPairEditingEnabled(bool enabled) override;
  bool confirm(const std::string& question) override;
  void showError(const std::string& message) override;
  bool hideToTray() override;
  void showTrayIcon() override;
  void checkTray() override;
  void showPairGauge(bool shown) override;
  bool openLog(const std::string& path) override;
  bool openFolder(const std::string& path, std::function<void()> failed) override;
  bool boxOpen() const override { return boxesOpen_ > 0; }
  void quit() override { ::PostQuitMessage(0); }
  void showRestore(RestoreView& view) override;

  // FolderChooser: the folder dialog, as a box the end waits for.
  bool execute(const std::string& caption, const std::string& label) override;
  std::string path() const override { return folderDialog_.path(); }

  ProgramServices services_;
  HWND window_ = nullptr;
  int dpi_ = 96;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::unique_ptr<WindowControls> controls_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<WindowRunDisplay> runDisplay_;
  std::unique_ptr<WindowSettingsPanel> settingsPanel_;
  FolderDialog folderDialog_{nullptr};
  std::unique_ptr<WindowProgram> core_;
  std::unique_ptr<PairGrid> grid_;
  std::unique_ptr<PairGridControl> gridControl_;
  HBRUSH silver_ = nullptr;
  HBRUSH black_ = nullptr;
  HBRUSH paleGreen_ = nullptr;
  HBRUSH grey_ = nullptr;
  HBRUSH status_ = nullptr;
  COLORREF statusColour_ = 0;
  std::vector<HFONT> fonts_;
  UINT taskbarCreated_ = 0;
  int boxesOpen_ = 0;
  bool trayWanted_ = false;  // the icon should be there; re-added when a tray appears
};

}  // namespace tavro::win
