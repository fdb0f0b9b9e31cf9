#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavro {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so the
// program can end the orderly way (pair table written) when asked to by the
// system. One per program.
class SignalBridge : public QObject {
  Q_OBJECT

 public:
  explicit SignalBridge(QObject* parent = nullptr);
  ~SignalBridge() override;

 signals:
  void endRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavro
