#include "app/window_run_display.h"

#include <QColor>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

#include "app/local_text.h"
#include "app/tray_icon.h"

namespace tavro {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kLime(0, 255, 0);
const QColor kAmber(255, 191, 0);
const QColor kDarkRed(128, 0, 0);

}  // namespace

void WindowRunDisplay::clearPairLabels() {
  c_.Label7->clear();
  c_.Label14->hide();
  c_.Label19->hide();
  c_.Label8->clear();
  c_.Label15->clear();
  c_.Label16->clear();
  c_.Label17->hide();
}

void WindowRunDisplay::showPairGauge(bool shown) { c_.G1->setVisible(shown); }

void WindowRunDisplay::setStatusLook(StatusLook look) {
  QPalette palette = c_.Label6->palette();
  switch (look) {
    case StatusLook::Waiting:
      palette.setColor(QPalette::Window, kSilver);
      palette.setColor(QPalette::WindowText, Qt::red);
      break;
    case StatusLook::Running:
      palette.setColor(QPalette::Window, kLime);
      palette.setColor(QPalette::WindowText, Qt::red);
      break;
    case StatusLook::Failed:
      // Amber, with a dark red that reads on it (contrast 6.6 : 1).
      palette.setColor(QPalette::Window, kAmber);
      palette.setColor(QPalette::WindowText, kDarkRed);
      break;
  }
  c_.Label6->setPalette(palette);
}

// The current file and the per-file gauge change for every file; they are
// shown when the window next gets to paint, so a run over many small files
// is not slowed down by painting each one.
void WindowRunDisplay::fileCopyStarted(const std::string& sourcePath) {
  shownFile_ = localText(sourcePath);
  fileGaugeShown_ = true;
}

void WindowRunDisplay::fileGaugeRange(int maximum) {
  gaugeMaximum_ = maximum;
  fileGaugeProgress(0);
}

void WindowRunDisplay::fileGaugeProgress(int position) {
  // G2 runs over a fixed range of tenths of a percent. A progress bar paints
  // itself at once when its value moves, and a copy lets no events through,
  // so during a long copy the gauge moves on its own; but painting for every
  // small file would cost far more than copying it, so the gauge takes a new
  // value at most every few hundredths of a second.
  const int permille = gaugePermille(position, gaugeMaximum_);
  if (permille != c_.G2->value() && sinceGaugePaint_.hasExpired(kPaintInterval)) {
    showCurrentFile();
    c_.G2->setValue(permille);
    sinceGaugePaint_.restart();
  }
}

void WindowRunDisplay::fileCopyFinished() {
  shownFile_.clear();
  fileGaugeShown_ = false;
}

void WindowRunDisplay::fileDeletionStarted(const std::string& targetPath) {
  shownFile_ = localText(targetPath);
}

void WindowRunDisplay::fileDeletionFinished() { shownFile_.clear(); }

void WindowRunDisplay::showCurrentFile() {
  if (c_.Label18->text() != shownFile_) c_.Label18->setText(shownFile_);
  if (c_.G2->isVisibleTo(c_.G2->window()) != fileGaugeShown_) c_.G2->setVisible(fileGaugeShown_);
  sinceFileShown_.restart();
}

void WindowRunDisplay::addLine(const std::string& line) { c_.LB2->addItem(localText(line)); }

void WindowRunDisplay::processMessages() {
  // The engine offers to pump before every file; taking that offer every few
  // milliseconds keeps the window as responsive and the run many times faster
  // on trees of small files, where each pump would repaint the window. The
  // file's name changes as seldom as the gauge: each change repaints the
  // window under it.
  if (!sincePump_.isValid() || sincePump_.hasExpired(kPumpInterval)) {
    if (!sinceFileShown_.isValid() || sinceFileShown_.hasExpired(kPaintInterval)) {
      showCurrentFile();
    }
    QCoreApplication::processEvents();
    sincePump_.restart();
  }
}

void WindowRunDisplay::runStarted() {
  c_.LB2->clear();
  sincePump_.invalidate();
  sinceFileShown_.invalidate();
  sinceGaugePaint_.start();
}

void WindowRunDisplay::setStatus(const std::string& caption, const std::string& trayHint) {
  c_.Label6->setText(localText(caption));
  c_.tray->SetTrayHint(localText(trayHint));
}

void WindowRunDisplay::showBalloon(const std::string& title, const std::string& message,
                                   BalloonIconKind kind, int seconds) {
  c_.tray->ShowBalloon(localText(title), localText(message), kind, seconds);
}

void WindowRunDisplay::showProgress(int pairCount) {
  c_.G1->show();
  c_.BBPrerusit->show();
  c_.tray->setRunInProgress(true);
  fileGaugeShown_ = true;
  showCurrentFile();
  setStatusLook(StatusLook::Running);
  c_.Label14->show();
  c_.Label19->show();
  c_.G1->setRange(0, pairCount);
  c_.G1->setValue(0);
  c_.Label18->show();
  c_.Label17->show();
}

void WindowRunDisplay::pairStarted(int k, int n, const std::string& source,
                                   const std::string& target) {
  c_.Label7->setText(localText(source));
  c_.Label8->setText(localText(target));
  c_.Label15->setText(QString::number(k));
  c_.Label16->setText(QString::number(n));
}

void WindowRunDisplay::pairFinished(int k) { c_.G1->setValue(k); }

void WindowRunDisplay::setLastRun(const std::string& when) { c_.Label3->setText(localText(when)); }

void WindowRunDisplay::hideProgress() {
  c_.G1->hide();
  c_.BBPrerusit->hide();
  c_.tray->setRunInProgress(false);
  fileGaugeShown_ = false;
  shownFile_.clear();
  showCurrentFile();
  // The run's last pump follows at once and must not be skipped: a tick
  // handled there is the first to see the run's flags set.
  sincePump_.invalidate();
}

void WindowRunDisplay::runFinished(bool withFailures) {
  setStatusLook(withFailures ? StatusLook::Failed : StatusLook::Running);
  c_.tray->showWarning(withFailures);
  clearPairLabels();
}

}  // namespace tavro
