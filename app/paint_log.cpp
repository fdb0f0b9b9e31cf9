#include "app/paint_log.h"

#include <QEvent>
#include <QWidget>

namespace tavro {

PaintLog::PaintLog(const QString& file) : file_(file) {
  (void)file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
  clock_.start();
  ticks_.setInterval(20);
  connect(&ticks_, &QTimer::timeout, this, [this] { write("tick", QString()); });
  ticks_.start();
}

void PaintLog::write(const char* what, const QString& name) {
  file_.write(QByteArray::number(clock_.elapsed()) + ' ' + what + ' ' + name.toUtf8() + '\n');
  file_.flush();
}

bool PaintLog::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Paint && type != QEvent::Show && type != QEvent::Hide) return false;
  // G1, the pair gauge, shows for exactly as long as a run lasts.
  const QString name = watched->objectName();
  const bool runGauge = name == QStringLiteral("G1");
  if (type != QEvent::Paint && !runGauge) return false;
  if (type == QEvent::Paint && !watched->isWidgetType()) return false;
  write(type == QEvent::Paint ? "paint" : type == QEvent::Show ? "run" : "end", name);
  return false;
}

}  // namespace tavro
