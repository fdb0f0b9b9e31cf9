#include "win/window_run_display.h"

#include <commctrl.h>

#include "platform/windows_text.h"

namespace tavro::win {

void pumpMessages(HWND window) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

COLORREF WindowRunDisplay::statusBackground() const {
  switch (look_) {
    case StatusLook::Waiting: return RGB(192, 192, 192);
    case StatusLook::Running: return RGB(0, 255, 0);
    case StatusLook::Failed: return RGB(255, 191, 0);  // amber
  }
  return RGB(192, 192, 192);
}

COLORREF WindowRunDisplay::statusText() const {
  // A dark red that reads on amber (contrast 6.6 : 1).
  return look_ == StatusLook::Failed ? RGB(128, 0, 0) : RGB(255, 0, 0);
}

void WindowRunDisplay::setStatusLook(StatusLook look) {
  if (look == look_) return;
  look_ = look;
  ::InvalidateRect(c_["Label6"], nullptr, TRUE);
}

void WindowRunDisplay::setText(const char* control, const std::string& text) {
  win::setText(c_[control], text);
}

void WindowRunDisplay::show(const char* control, bool shown) { showControl(c_[control], shown); }

void WindowRunDisplay::showPairGauge(bool shown) { show("G1", shown); }

void WindowRunDisplay::clearPairLabels() {
  setText("Label7", "");
  show("Label14", false);
  show("Label19", false);
  setText("Label8", "");
  setText("Label15", "");
  setText("Label16", "");
  show("Label17", false);
}

// The current file and the per-file gauge change for every file; they are
// shown when the window next gets to paint, so a run over many small files
// is not slowed down by painting each one.
void WindowRunDisplay::fileCopyStarted(const std::string& sourcePath) {
  currentFile_ = sourcePath;
  fileGaugeShown_ = true;
}

void WindowRunDisplay::fileGaugeRange(int maximum) {
  gaugeMaximum_ = maximum;
  fileGaugeProgress(0);
}

void WindowRunDisplay::fileGaugeProgress(int position) {
  // Tenths of a percent, at most every few hundredths of a second: a long
  // copy lets no messages through, so the gauge paints itself here.
  const int permille = gaugePermille(position, gaugeMaximum_);
  const auto now = Clock::now();
  if (permille != gaugePermille_ && now - lastGaugePaint_ >= kPaintInterval) {
    showCurrentFile();
    ::SendMessageW(c_["G2"], PBM_SETPOS, permille, 0);
    ::UpdateWindow(c_["G2"]);
    gaugePermille_ = permille;
    lastGaugePaint_ = now;
  }
}

void WindowRunDisplay::fileCopyFinished() {
  currentFile_.clear();
  fileGaugeShown_ = false;
}

void WindowRunDisplay::fileDeletionStarted(const std::string& targetPath) {
  currentFile_ = targetPath;
}

void WindowRunDisplay::fileDeletionFinished() { currentFile_.clear(); }

void WindowRunDisplay::showCurrentFile() {
  if (shownFile_ != currentFile_) {
    setText("Label18", currentFile_);
    shownFile_ = currentFile_;
  }
  if (isShown(c_["G2"]) != fileGaugeShown_) show("G2", fileGaugeShown_);
  lastFileShown_ = Clock::now();
}

void WindowRunDisplay::addLine(const std::string& line) {
  HWND lines = c_["LB2"];
  const std::wstring text = windows::wide(line);
  ::SendMessageW(lines, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // A list box scrolls sideways only as far as it is told.
  const int width =
      textWidth(lines, reinterpret_cast<HFONT>(::SendMessageW(lines, WM_GETFONT, 0, 0)), text) + 8;
  if (width > widestLine_) {
    widestLine_ = width;
    ::SendMessageW(lines, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestLine_), 0);
  }
}

void WindowRunDisplay::processMessages() {
  // The engine offers to pump before every file; taking that offer every few
  // milliseconds keeps the window as responsive and the run many times faster
  // on trees of small files.
  const auto now = Clock::now();
  if (now - lastPump_ < kPumpInterval) return;
  if (now - lastFileShown_ >= kPaintInterval) showCurrentFile();
  pumpMessages(window_);
  lastPump_ = Clock::now();
}

void WindowRunDisplay::runStarted() {
  ::SendMessageW(c_["LB2"], LB_RESETCONTENT, 0, 0);
  widestLine_ = 0;
  ::SendMessageW(c_["LB2"], LB_SETHORIZONTALEXTENT, 0, 0);
  lastPump_ = {};
  lastFileShown_ = {};
  lastGaugePaint_ = Clock::now();
}

void WindowRunDisplay::setStatus(const std::string& caption, const std::string& trayHint) {
  setText("Label6", caption);
  tray_.setHint(trayHint);
}

void WindowRunDisplay::showBalloon(const std::string& title, const std::string& text,
                                   BalloonIconKind kind, int) {
  // Windows decides how long a balloon stays.
  tray_.showBalloon(title, text, kind);
}

void WindowRunDisplay::showProgress(int pairCount) {
  show("G1", true);
  show("BBPrerusit", true);
  tray_.setRunInProgress(true);
  fileGaugeShown_ = true;
  showCurrentFile();
  setStatusLook(StatusLook::Running);
  show("Label14", true);
  show("Label19", true);
  ::SendMessageW(c_["G1"], PBM_SETRANGE32, 0, pairCount);
  ::SendMessageW(c_["G1"], PBM_SETPOS, 0, 0);
  show("Label18", true);
  show("Label17", true);
}

void WindowRunDisplay::pairStarted(int k, int n, const std::string& source,
                                   const std::string& target) {
  setText("Label7", source);
  setText("Label8", target);
  setText("Label15", std::to_string(k));
  setText("Label16", std::to_string(n));
}

void WindowRunDisplay::pairFinished(int k) { ::SendMessageW(c_["G1"], PBM_SETPOS, k, 0); }

void WindowRunDisplay::setLastRun(const std::string& when) { setText("Label3", when); }

void WindowRunDisplay::hideProgress() {
  show("G1", false);
  show("BBPrerusit", false);
  tray_.setRunInProgress(false);
  fileGaugeShown_ = false;
  currentFile_.clear();
  showCurrentFile();
  // The run's last pump follows at once and must not be skipped: a tick
  // handled there is the first to see the run's flags set.
  lastPump_ = {};
}

void WindowRunDisplay::runFinished(bool withFailures) {
  setStatusLook(withFailures ? StatusLook::Failed : StatusLook::Running);
  tray_.showWarning(withFailures);
  clearPairLabels();
}

}  // namespace tavro::win
