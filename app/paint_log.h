#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

namespace tavro {

// For measuring only (TAVRO_PAINT_LOG=FILE): writes a line for every paint
// of the main window's controls and for the run's progress gauge appearing
// and going, each with the milliseconds since start, and a line every 20 ms
// that the event loop gets to a timer, so that a benchmark can find the
// longest time the window could not answer or paint during a run.
class PaintLog final : public QObject {
 public:
  explicit PaintLog(const QString& file);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QFile file_;
  QElapsedTimer clock_;
  QTimer ticks_;
  void write(const char* what, const QString& name);
};

}  // namespace tavro
