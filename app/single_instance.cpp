#include "app/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
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

bool SingleInstance::acquire() {
  QDir().mkpath(QFileInfo(lock_.fileName()).absolutePath());
  if (!lock_.tryLock(100)) return false;
  // The lock is ours, so a socket of that name is a dead program's.
  QLocalServer::removeServer(serverName_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::answer);
  server_->listen(serverName_);
  return true;
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
