// The single-instance check over QLocalServer and QLocalSocket.
#include "windows/previnst.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tw {

namespace {
constexpr int kAnswerMs = 1000;
const QByteArray kRaise = QByteArrayLiteral("raise\n");
}  // namespace

PREVINST::PREVINST(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

PREVINST::~PREVINST() = default;

QString PREVINST::defaultName() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return QDir(dir).filePath(QStringLiteral("tilewhirl.instance"));
}

bool PREVINST::claim() {
  {
    QLocalSocket other;
    other.connectToServer(name_);
    if (other.waitForConnected(kAnswerMs)) {
      other.write(kRaise);
      other.waitForBytesWritten(kAnswerMs);
      other.disconnectFromServer();
      return false;
    }
  }
  // Nobody answers: whatever is left at the name is stale.
  QLocalServer::removeServer(name_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) return true;  // the game still runs, unguarded
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (socket->readAll().contains(kRaise.trimmed())) emit raiseRequested();
      });
    }
  });
  return true;
}

}  // namespace tw
