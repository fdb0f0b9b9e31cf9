#include "win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/windows_text.h"
#include "program/window_layout.h"
#include "win/preview_window.h"
#include "win/restore_window.h"
#include "win/startup_shortcut.h"

namespace tavro::win {

namespace {

constexpr UINT_PTR kTimer = 1;
// A fixed window with a title, its system menu and a close box, as on Linux.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExtendedStyle = WS_EX_CONTROLPARENT;

const COLORREF kSilver = RGB(192, 192, 192);

void registerClass(HICON icon, HICON smallIcon, WNDPROC procedure) {
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = procedure;
  c.hInstance = ::GetModuleHandleW(nullptr);
  c.hIcon = icon;
  c.hIconSm = smallIcon;
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = nullptr;  // WM_ERASEBKGND paints the window's grey
  c.lpszClassName = MainWindow::kClassName;
  ::RegisterClassExW(&c);
}

HICON loadIcon(int size) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

std::wstring quoted(const std::string& path) { return L"\"" + windows::wide(path) + L"\""; }

}  // namespace

UINT MainWindow::showRequest() {
  static const UINT message = ::RegisterWindowMessageW(L"Tavro.ShowWindow");
  return message;
}

MainWindow::MainWindow(const ProgramServices& services) : services_(services) {
  icon_ = loadIcon(::GetSystemMetrics(SM_CXICON));
  smallIcon_ = loadIcon(::GetSystemMetrics(SM_CXSMICON));
  registerClass(icon_, smallIcon_, &MainWindow::procedure);
  window_ =
      ::CreateWindowExW(kExtendedStyle, kClassName, L"Tavro", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        100, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  dpi_ = static_cast<int>(::GetDpiForWindow(window_));
  // The table's inner size at this screen's resolution, in the middle of
  // the screen's work area.
  RECT outer{0, 0, scaled(kMainWindowWidth, dpi_), scaled(kMainWindowHeight, dpi_)};
  ::AdjustWindowRectExForDpi(&outer, kStyle, FALSE, kExtendedStyle, static_cast<UINT>(dpi_));
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  ::SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

  folderDialog_ = FolderDialog(window_);
  silver_ = ::CreateSolidBrush(kSilver);
  black_ = ::CreateSolidBrush(RGB(0, 0, 0));
  paleGreen_ = ::CreateSolidBrush(RGB(204, 255, 204));
  grey_ = ::CreateSolidBrush(RGB(128, 128, 128));
  controls_ = std::make_unique<WindowControls>(window_, dpi_);
  tray_ = std::make_unique<TrayIcon>(window_, smallIcon_);
  runDisplay_ = std::make_unique<WindowRunDisplay>(window_, *controls_, *tray_);
  settingsPanel_ = std::make_unique<WindowSettingsPanel>(*controls_);
  WindowShell& shell = *this;
  FolderChooser& folders = *this;
  core_ = std::make_unique<WindowProgram>(services_, *runDisplay_, *settingsPanel_, shell, folders);
  dress();
  grid_ = std::make_unique<PairGrid>(core_->program().table());
  grid_->setErrorHandler([this](const std::exception& error) { showError(error.what()); });
  gridControl_ = std::make_unique<PairGridControl>((*controls_)["DBGrid1"], *grid_, [this] {
    return box("Delete record?", L"Confirm", MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
  });
  gridControl_->setEmptyHint(windows::wide(kFirstPairHint));
  ::SendMessageW((*controls_)["CHBAutostart"], BM_SETCHECK,
                 startupShortcutExists() ? BST_CHECKED : BST_UNCHECKED, 0);
  showFilePaths();
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  // The icon is there from the start: the first run's balloons need it.
  showTrayIcon();
  ::SetTimer(window_, kTimer, 1000, nullptr);
}

MainWindow::~MainWindow() {
  gridControl_.reset();
  grid_.reset();
  core_.reset();
  tray_.reset();
  if (window_ != nullptr) ::DestroyWindow(window_);
  controls_.reset();
  for (HFONT font : fonts_) ::DeleteObject(font);
  for (HBRUSH brush : {silver_, black_, paleGreen_, grey_, status_}) {
    if (brush != nullptr) ::DeleteObject(brush);
  }
  if (icon_ != nullptr) ::DestroyIcon(icon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

// Fonts that differ from the window's, at the screen's resolution; the
// colours are given as the controls ask for them (colours()).
void MainWindow::dressFonts() {
  const WindowControls& c = *controls_;
  std::vector<HFONT> before = std::move(fonts_);
  fonts_.clear();
  const auto font = [this](int points, int weight, bool italic, const wchar_t* face) {
    return fonts_.emplace_back(makeFont(points, dpi_, weight, italic, face));
  };
  const auto setFont = [](HWND control, HFONT f) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
  };
  HFONT bold = font(8, FW_BOLD, false, L"Tahoma");
  for (const char* name : {"GroupBox1", "Label3", "BitBtn2", "Label10"}) setFont(c[name], bold);
  setFont(c["ECas"], font(20, FW_BOLD, false, L"Tahoma"));
  // The big time needs all of its box (a new font brings margins back).
  ::SendMessageW(c["ECas"], EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  setFont(c["Label1"], font(12, FW_NORMAL, false, L"Arial"));
  HFONT clock = font(12, FW_BOLD, true, L"Arial");
  for (const char* name : {"Label4", "Label5"}) setFont(c[name], clock);
  setFont(c["Label6"], font(10, FW_NORMAL, false, L"Tahoma"));
  setFont(c["LPaths"], font(7, FW_NORMAL, false, L"Tahoma"));
  for (HFONT f : before) ::DeleteObject(f);
}

void MainWindow::dress() {
  const WindowControls& c = *controls_;
  dressFonts();
  const auto addStyle = [](HWND control, LONG_PTR style) {
    ::SetWindowLongPtrW(control, GWL_STYLE, ::GetWindowLongPtrW(control, GWL_STYLE) | style);
  };
  for (const char* name : {"Label1", "Label4", "Label5"}) addStyle(c[name], SS_CENTER);
  addStyle(c["Label15"], SS_RIGHT);
  ::SendMessageW(c["G2"], PBM_SETRANGE32, 0, 1000);
  // The minutes take digits only, as many as the schedule can count with.
  for (const char* name : {"cxTextEdit1", "cxTextEdit2"}) {
    addStyle(c[name], ES_NUMBER);
    ::SendMessageW(c[name], EM_LIMITTEXT, 9, 0);
  }
  ::ShowWindow(c["JvRollOut1Body"], SW_HIDE);
  settingsPanel_->setOpen(false);
  for (const char* name : {"JvCheckBox1", "RG1Item2", "RG2Item0"}) {
    ::SendMessageW(c[name], BM_SETCHECK, BST_CHECKED, 0);
  }
}

void MainWindow::dpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  controls_->rescale(dpi);
  dressFonts();
  settingsPanel_->setOpen(settingsPanel_->isOpen());
  ::InvalidateRect(window_, nullptr, TRUE);
}

HBRUSH MainWindow::colours(HDC dc, HWND control, UINT message) {
  const WindowControls& c = *controls_;
  // Text drawn opaque (a list box's lines) takes the background's colour.
  const auto paint = [dc](COLORREF text, COLORREF background, HBRUSH brush) {
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, background);
    return brush;
  };
  if (message == WM_CTLCOLORLISTBOX && is(control, "LB2")) {
    return paint(RGB(255, 255, 255), RGB(128, 128, 128), grey_);
  }
  if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
    return reinterpret_cast<HBRUSH>(::DefWindowProcW(window_, message, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(control)));
  }
  if (is(control, "Label6")) {
    if (status_ == nullptr || statusColour_ != runDisplay_->statusBackground()) {
      if (status_ != nullptr) ::DeleteObject(status_);
      statusColour_ = runDisplay_->statusBackground();
      status_ = ::CreateSolidBrush(statusColour_);
    }
    return paint(runDisplay_->statusText(), statusColour_, status_);
  }
  if (control == c["Panel1"] || control == c["Label4"] || control == c["Label5"]) {
    return paint(RGB(255, 255, 255), RGB(0, 0, 0), black_);
  }
  if (is(control, "EVarCas")) return paint(RGB(0, 0, 0), RGB(204, 255, 204), paleGreen_);
  wchar_t className[16] = {};
  ::GetClassNameW(control, className, 16);
  // The read-only fields keep an edit's white.
  if (::lstrcmpiW(className, L"Edit") == 0) {
    return paint(RGB(0, 0, 0), ::GetSysColor(COLOR_WINDOW), ::GetSysColorBrush(COLOR_WINDOW));
  }
  return paint(RGB(0, 0, 0), kSilver, silver_);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->core_ == nullptr) return ::DefWindowProcW(window, message, w, l);
  return self->handle(message, w, l);
}

LRESULT MainWindow::handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (l != 0) {
        command(reinterpret_cast<HWND>(l), HIWORD(w));
      } else {
        switch (LOWORD(w)) {
          case TrayIcon::Show: restore(); break;
          case TrayIcon::Preview: preview(); break;
          case TrayIcon::Interrupt: core_->program().interruptRun(); break;
          case TrayIcon::About: about(); break;
          case TrayIcon::End: core_->requestEnd(); break;
          default: break;
        }
      }
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(l);
      if (gridControl_ != nullptr && header->hwndFrom == gridControl_->list()) {
        return gridControl_->notify(*header);
      }
      return 0;
    }
    case TrayIcon::kMessage: trayMessage(LOWORD(l)); return 0;
    case WM_DPICHANGED: dpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l)); return 0;
    case WM_TIMER:
      if (w == kTimer) core_->tick();
      return 0;
    case WM_ERASEBKGND: {
      RECT inside;
      ::GetClientRect(window_, &inside);
      ::FillRect(reinterpret_cast<HDC>(w), &inside, silver_);
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(
          colours(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l), message));
    case WM_CLOSE:
      if (core_->isEnding()) return 0;
      if (box("Nebude možné automaticky zálohovat. Opravdu zavřít aplikaci?", L"Confirm",
              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES) {
        core_->requestEnd();
      }
      return 0;
    case WM_QUERYENDSESSION:
      // Windows is shutting down or the user logs off: agree without
      // asking; a run stops after its pair.
      core_->endSoon();
      return TRUE;
    case WM_ENDSESSION:
      // The process may end once this returns: the pair table is written
      // now. A run still working below this message has stopped taking
      // pairs; the states so far are written, its current pair's as not
      // done.
      if (w != FALSE) {
        if (core_->program().runInProgress()) {
          core_->guarded([this] { core_->program().table().flush(); });
        } else {
          ::KillTimer(window_, kTimer);
          core_->finish();
          tray_->remove();
          core_->endIfRequested();
        }
      }
      return 0;
    default: break;
  }
  if (message == showRequest()) {
    restore();
    return 0;
  }
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    tray_->readd();
    return 0;
  }
  return ::DefWindowProcW(window_, message, w, l);
}

void MainWindow::trayMessage(UINT event) {
  switch (event) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: restore(); break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: tray_->popUpMenu(); break;
    default: break;
  }
}

void MainWindow::command(HWND control, UINT notification) {
  if (notification != BN_CLICKED) return;
  Program& program = core_->program();
  if (is(control, "BitBtn1")) {
    core_->hide();
  } else if (is(control, "BitBtn2")) {
    core_->backUpNow();
  } else if (is(control, "BBPrerusit")) {
    program.interruptRun();
  } else if (is(control, "BBNahled")) {
    preview();
  } else if (is(control, "JvgExtSpeedButton1")) {
    core_->showLog();
  } else if (is(control, "BBHistorie")) {
    core_->showHistory();
  } else if (is(control, "BBObnovit")) {
    core_->restore();
  } else if (is(control, "BitBtn3")) {
    pairCommand(&Program::addPair);
  } else if (is(control, "PBEditSrc")) {
    pairCommand(&Program::editSource);
  } else if (is(control, "PBEditTrg")) {
    pairCommand(&Program::editTarget);
  } else if (is(control, "BitBtn4")) {
    pairCommand(&Program::removePair);
  } else if (is(control, "JvRollOut1Header")) {
    settingsPanel_->setOpen(!settingsPanel_->isOpen());
  } else if (is(control, "JVCHB1")) {
    program.intervalBoxClicked();
  } else if (is(control, "JvXPButton1")) {
    core_->saveSettings();
  } else if (is(control, "CHBAutostart")) {
    const bool wanted = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const auto failure = setStartupShortcut(wanted);
    if (failure) {
      ::SendMessageW(control, BM_SETCHECK, startupShortcutExists() ? BST_CHECKED : BST_UNCHECKED,
                     0);
      showError(*failure);
    }
  }
}

void MainWindow::pairCommand(void (Program::*command)()) {
  Program& program = core_->program();
  core_->guarded([&program, command] { (program.*command)(); });
}

bool MainWindow::execute(const std::string& caption, const std::string& label) {
  return modal([&] { return folderDialog_.execute(caption, label) ? 1 : 0; }) != 0;
}

int MainWindow::modal(const std::function<int()>& show) {
  ++boxesOpen_;
  const int answer = show();
  --boxesOpen_;
  return answer;
}

int MainWindow::run() {
  if (core_->start()) {
    showFilePaths();
    runDisplay_->hideProgress();
    runDisplay_->clearPairLabels();
  }
  int status = 0;
  // An end asked for under a start-up error box ends the program before it
  // shows.
  if (!core_->endRequested()) {
    ::ShowWindow(window_, SW_SHOW);
    ::SetForegroundWindow(window_);
    // A whole second on screen before the first tick hides the window.
    if (core_->windowShown()) ::SetTimer(window_, kTimer, 1000, nullptr);
    core_->mainLoopStarted();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (::IsDialogMessageW(window_, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    status = static_cast<int>(message.wParam);
  }
  ::KillTimer(window_, kTimer);
  core_->finish();
  tray_->remove();
  return status;
}

void MainWindow::restore() {
  if (::IsIconic(window_)) ::ShowWindow(window_, SW_RESTORE);
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
}

int MainWindow::box(const std::string& text, const wchar_t* caption, UINT flags, HWND owner) {
  return modal([&] {
    return ::MessageBoxW(owner != nullptr ? owner : window_, windows::wide(text).c_str(), caption,
                         flags);
  });
}

void MainWindow::showWarning(const std::string& message) {
  box(message, L"Tavro", MB_OK | MB_ICONWARNING);
}

void MainWindow::showError(const std::string& message) {
  box(errorBoxText(message), L"Tavro", MB_OK | MB_ICONERROR);
}

bool MainWindow::confirm(const std::string& question) {
  return box(question, L"Tavro", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::about() {
  const std::wstring text =
      windows::wide(aboutText(TAVRO_VERSION, services_.paths, core_->pairTablePath()));
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = window_;
  box.hInstance = ::GetModuleHandleW(nullptr);
  box.lpszText = text.c_str();
  box.lpszCaption = L"O programu";
  box.dwStyle = MB_OK | MB_USERICON;
  box.lpszIcon = MAKEINTRESOURCEW(1);
  modal([&] { return ::MessageBoxIndirectW(&box); });
}

void MainWindow::showTable() {
  if (gridControl_ != nullptr) gridControl_->show();
}

void MainWindow::setPairEditingEnabled(bool enabled) {
  // The pair buttons, and "Obnovit": a restore reads the backup the run changes.
  for (const char* name : {"BitBtn3", "PBEditSrc", "PBEditTrg", "BitBtn4", "BBObnovit"}) {
    ::EnableWindow((*controls_)[name], enabled);
  }
  if (gridControl_ != nullptr) gridControl_->setEditingEnabled(enabled);
}

bool MainWindow::hideToTray() {
  if (!tray_->show()) return false;
  ::ShowWindow(window_, SW_HIDE);
  return true;
}

void MainWindow::showTrayIcon() {
  trayWanted_ = true;
  tray_->show();
}

void MainWindow::checkTray() {
  if (trayWanted_ && !tray_->shown()) tray_->show();
}

void MainWindow::showPairGauge(bool shown) { runDisplay_->showPairGauge(shown); }

bool MainWindow::openLog(const std::string& path) {
  // As the program always did: Notepad, through the shell, with the path
  // in double quotes.
  const auto started = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      window_, L"open", L"notepad.EXE", quoted(path).c_str(), nullptr, SW_SHOWNORMAL));
  return started > 32;
}

bool MainWindow::openFolder(const std::string& path, std::function<void()>) {
  // ShellExecute answers once Explorer has the folder; nothing fails later.
  const auto started = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      window_, L"explore", windows::wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return started > 32;
}

void MainWindow::showRestore(RestoreView& view) {
  RestoreHooks hooks;
  // Its boxes over the restore window, the active one.
  hooks.confirm = [this](const std::string& question) {
    return box(question, L"Tavro", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
               ::GetActiveWindow()) == IDYES;
  };
  hooks.report = [this](const std::string& report, bool problems) {
    box(report, L"Tavro", MB_OK | (problems ? MB_ICONWARNING : MB_ICONINFORMATION),
        ::GetActiveWindow());
  };
  hooks.chooseFolder = [this]() -> std::optional<std::string> {
    if (!execute(kRestoreFolderCaption, kRestoreFolderLabel)) return std::nullopt;
    return folderDialog_.path();
  };
  hooks.now = [this] { return services_.clock.now(); };
  modal([&] {
    RestoreWindow::run(window_, view, std::move(hooks));
    return 0;
  });
}

void MainWindow::preview() {
  Program& program = core_->program();
  if (program.runInProgress()) return;
  std::optional<std::vector<PairPreview>> previews;
  if (!core_->guarded([&] { previews = program.preview(); }) || !previews) return;
  PreviewWindow::show(window_, std::move(*previews), [this] { core_->backUpNow(); });
}

void MainWindow::showFilePaths() {
  setText((*controls_)["LPaths"], fileLocations(services_.paths, core_->pairTablePath()));
}

}  // namespace tavro::win
