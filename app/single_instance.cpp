#include "app/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

namespace tavro {

namespace {

constexpr int kAnswerMilliseconds = 3000;
const QByteArray kShow = "show\n";
const QByteArray kShown = "shown\n";

// A name of the user and the settings file, short enough for a socket path.
QString serverNameFor(const QString& settingsFile) {
  const QByteArray hash =
      QCryptographicHash::hash(QFileInfo(settingsFile).absoluteFilePath().toUtf8(),
                               QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  return QStringLiteral("tavro-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

}  // namespace

SingleInstance::SingleInstance(const QString& settingsFile, QObject* parent)
    : QObject(parent),
      serverName_(serverNameFor(settingsFile)),
      lock_(settingsFile + QStringLiteral(".lock")) {
  // Held for as long as the program runs: only a dead holder makes it stale.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::acquire() {
  const QString folder = QFileInfo(lock_.fileName()).absolutePath();
  const bool folderMade = QDir().mkpath(folder);
  if (!lock_.tryLock(100)) {
    // Only a lock that another process holds means another instance. A lock
    // that cannot be made at all (a read-only home, an immutable folder)
    // says nothing of other instances, and must not stop the backups.
    if (lock_.error() == QLockFile::LockFailedError) return Outcome::HeldElsewhere;
    QString reason;
    if (!folderMade) {
      reason = QStringLiteral("složku nelze vytvořit");
    } else {
      QFile probe(lock_.fileName());
      reason = probe.open(QIODevice::ReadWrite) ? QStringLiteral("neznámá chyba")
                                                : probe.errorString();
    }
    unavailableReason_ = QStringLiteral("Nelze vytvořit zámek %1: %2. Zálohy poběží, ale program "
                                        "nepozná, zda už je spuštěný.")
                             .arg(lock_.fileName(), reason);
    return Outcome::Unavailable;
  }
  // The lock is ours, so a socket of that name is a dead program's.
  QLocalServer::removeServer(serverName_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::answer);
  server_->listen(serverName_);
  return Outcome::Acquired;
}

void SingleInstance::answer() {
  while (QLocalSocket* client = server_->nextPendingConnection()) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QLocalSocket::readyRead, this, [this, client] {
      if (!client->canReadLine()) return;
      if (client->readLine() == kShow) {
        emit showRequested();
        client->write(kShown);
        client->flush();
      }
      client->disconnectFromServer();
    });
  }
}

bool SingleInstance::askToShow() {
  QLocalSocket socket;
  socket.connectToServer(serverName_);
  if (!socket.waitForConnected(kAnswerMilliseconds)) return false;
  socket.write(kShow);
  if (!socket.waitForBytesWritten(kAnswerMilliseconds)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(kAnswerMilliseconds)) return false;
  }
  return socket.readLine() == kShown;
}

}  // namespace tavro
