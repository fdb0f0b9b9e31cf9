#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

namespace tavro {

// For measuring only (TAVRO_PAINT_LOG=FILE): writes a line for every paint
// of the main window's controls and for the run's progress gauge appearing
// and going, each with the milliseconds since start, so that a benchmark can
// find the longest time the window went without painting during a run.
class PaintLog final : public QObject {
 public:
  explicit PaintLog(const QString& file);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QFile file_;
  QElapsedTimer clock_;
};

}  // namespace tavro
