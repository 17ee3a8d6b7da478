// Sock over QTcpServer and QTcpSocket.
#include "net/sock.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace tw {

Sock::Sock(QObject* parent) : QObject(parent) {}

Sock::~Sock() {
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
  }
}

void Sock::setHostName(const QString& host) {
  if (connected_)
    report(SocketInfo::Lookup, QStringLiteral("Setting HostName While Connected Has No Effect"));
  hostName_ = host;
}

void Sock::setPortName(const QString& port) {
  if (connected_)
    report(SocketInfo::Lookup, QStringLiteral("Setting PortName While Connected Has No Effect"));
  portName_ = port;
}

void Sock::adopt(QTcpSocket* socket) {
  socket_ = socket;
  socket_->setParent(this);
  socket_->setReadBufferSize(kReceiveArea);
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket_, &QTcpSocket::connected, this, [this] {
    connected_ = true;
    report(SocketInfo::Connect, QStringLiteral("Non-Blocking Socket Connected"));
    emit onConnect(this);
  });
  connect(socket_, &QTcpSocket::readyRead, this,
          [this] { emit onRead(this, socket_ ? socket_->bytesAvailable() : 0); });
  connect(socket_, &QTcpSocket::disconnected, this, [this] {
    if (!socket_) return;
    emit onDisconnect(this);
    close();
  });
  connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) return;  // reported as a close
    const QString reason = socket_->errorString();
    // A connect that fails leaves the component without a connection.
    if (!connected_ && socket_) release();
    fail(error, reason);
  });
}

bool Sock::open() {
  if (socket_) return connected_;
  bool portOk = false;
  const quint16 port = portName_.toUShort(&portOk);
  report(SocketInfo::Lookup, QStringLiteral("Lookup Of Port ") + portName_);
  report(SocketInfo::Lookup, QStringLiteral("Lookup Of Host ") + hostName_);
  if (!portOk) {
    fail(QAbstractSocket::UnknownSocketError, QStringLiteral("Port Lookup - Could Not Find Service Entry"));
    return false;
  }
  adopt(new QTcpSocket(this));
  socket_->connectToHost(hostName_, port);
  return connected_;
}

bool Sock::close() {
  if (server_) {
    delete server_;
    server_ = nullptr;
    report(SocketInfo::Listen, QStringLiteral("Listening Stopped"));
    return true;
  }
  if (!socket_) return false;
  release();
  emit onClose(this);
  return true;
}

void Sock::release() {
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  connected_ = false;
  socket->disconnect(this);
  // Whatever was queued for sending still goes out before the socket closes,
  // even when this Sock is deleted right after; a peer that never reads is
  // cut off after a while.
  socket->setParent(nullptr);
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  // The last words reach the system now: a program that ends right after
  // still says them.
  socket->flush();
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) {
    socket->deleteLater();
  } else {
    QTimer::singleShot(kLingerMs, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
  }
}

bool Sock::setListen(bool on) {
  if (!on) return server_ ? close() : true;
  if (socket_) {
    fail(QAbstractSocket::OperationError, QStringLiteral("Listen - Socket Already In Use"));
    return false;
  }
  if (server_) {
    report(SocketInfo::Listen, QStringLiteral("Listening Already Running"));
    return true;
  }
  bool portOk = false;
  const quint16 port = portName_.toUShort(&portOk);
  if (!portOk) {
    fail(QAbstractSocket::UnknownSocketError, QStringLiteral("Port Lookup - Could Not Find Service Entry"));
    return false;
  }
  // An empty host name means every local address.
  const QHostAddress address =
      hostName_.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(hostName_);
  if (address.isNull()) {
    fail(QAbstractSocket::HostNotFoundError, QStringLiteral("Host Lookup - Could Not Find Host Entry"));
    return false;
  }
  auto* server = new QTcpServer(this);
  server->setMaxPendingConnections(30);
  if (!server->listen(address, port)) {
    fail(server->serverError(), QStringLiteral("Listen - Error Binding Socket: ") + server->errorString());
    delete server;
    return false;
  }
  server_ = server;
  connect(server_, &QTcpServer::newConnection, this, [this] { emit onAccept(this); });
  report(SocketInfo::Listen, QStringLiteral("Listening Started"));
  return true;
}

bool Sock::listening() const { return server_ != nullptr; }

QString Sock::localAddress() const {
  if (server_) return server_->serverAddress().toString();
  return socket_ ? socket_->localAddress().toString() : QString();
}

quint16 Sock::localPort() const {
  if (server_) return server_->serverPort();
  return socket_ ? socket_->localPort() : 0;
}

Sock* Sock::accept() {
  if (!server_) {
    fail(QAbstractSocket::OperationError, QStringLiteral("Accept - Socket Not In Listening Mode"));
    return nullptr;
  }
  QTcpSocket* socket = server_->nextPendingConnection();
  if (!socket) {
    report(SocketInfo::Accept, QStringLiteral("Could Not Accept Connection"));
    return nullptr;
  }
  auto* sock = new Sock(this);
  sock->portName_ = portName_;
  sock->hostName_ = socket->peerAddress().toString();
  sock->adopt(socket);
  sock->connected_ = true;
  report(SocketInfo::Accept, QStringLiteral("Created New TSock Structure"));
  return sock;
}

bool Sock::send(const QByteArray& bytes) {
  if (server_) {
    fail(QAbstractSocket::OperationError, QStringLiteral("Send - Cannot Send On A Listener Socket"));
    return false;
  }
  if (!socket_) {
    fail(QAbstractSocket::OperationError, QStringLiteral("Send - Socket Not Connected"));
    return false;
  }
  socket_->write(bytes);
  return true;
}

QByteArray Sock::receive() { return socket_ ? socket_->readAll() : QByteArray(); }

qint64 Sock::unsentBytes() const { return socket_ ? socket_->bytesToWrite() : 0; }

QString Sock::peerAddress() const { return socket_ ? socket_->peerAddress().toString() : hostName_; }

}  // namespace tw
