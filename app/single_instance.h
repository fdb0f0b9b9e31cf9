#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tavro {

// One program per user and settings file. The first start takes a lock file
// beside the settings and listens on a local socket named after them; a
// later start finds the lock taken and hands its request to the first one
// over that socket. A lock left by a program that died is taken over.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Outcome {
    Acquired,       // this process now is the one instance, and listens
    HeldElsewhere,  // another instance holds the lock
    Unavailable,    // no lock can be made here (a read-only folder, say)
  };
  Outcome acquire();
  // Why no lock could be made, after Outcome::Unavailable: the lock file's
  // path and the system's reason, in a sentence for the user.
  QString unavailableReason() const { return unavailableReason_; }

  // Asks the instance holding the lock to show its window; true when it
  // answered within a few seconds.
  bool askToShow();

 signals:
  void showRequested();

 private:
  void answer();

  QString serverName_;
  QString unavailableReason_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace tavro
