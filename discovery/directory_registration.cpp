// The host's directory registration on Qt sockets and timers.
#include "discovery/directory_registration.h"

#include <QHostAddress>
#include <memory>

#include "net/proxy_line.h"

namespace tw {

DirectoryRegistration::DirectoryRegistration(const QString& host, quint16 port, bool isPublic, std::string title,
                                             LogFn log, QObject* parent)
    : QObject(parent),
      host_(host),
      port_(port),
      log_(log ? std::move(log) : LogFn(logLine)),
      pingTimer_([this] { link_.pingTimerTimer(); }),
      retryTimer_([this] { link_.retryTimerTimer(); }),
      title_(std::move(title)),
      link_(*this, pingTimer_, retryTimer_, 0, isPublic, title_) {
  connectTimer_.setSingleShot(true);
  connect(&connectTimer_, &QTimer::timeout, this, [this] {
    close();
    link_.dropped("no connection within " + std::to_string(kConnectMs / 1000) + " s");
  });
}

DirectoryRegistration::~DirectoryRegistration() { close(); }

void DirectoryRegistration::setPortMapper(std::unique_ptr<RouterPortMapper> mapper, int waitMs) {
  mapper_ = std::move(mapper);
  if (!mapper_) return;
  mappingWait_.setSingleShot(true);
  mappingWait_.setInterval(waitMs);
  connect(&mappingWait_, &QTimer::timeout, this, &DirectoryRegistration::register_);
  connect(mapper_.get(), &RouterPortMapper::changed, this, [this] {
    link_.setMappedPort(mapper_->core().externalPort());
    if (mapper_->core().settled()) register_();
  });
}

bool DirectoryRegistration::routerBetween(const QString& directoryHost) {
  const QHostAddress address(directoryHost);
  if (address.isNull()) return true;
  if (address.isLoopback() || address.isLinkLocal() || address.isUniqueLocalUnicast()) return false;
  for (const char* lan : {"10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16"})
    if (address.isInSubnet(QHostAddress::parseSubnet(QLatin1String(lan)))) return false;
  return true;
}

void DirectoryRegistration::publish(const GameListing& listing) {
  if (!link_.running() && !waitingForRouter_) {
    link_.setGamePort(listing.port);
    link_.setTitle(title_.empty() ? listing.title : title_);
    if (mapper_) {
      waitingForRouter_ = true;
      mappingWait_.start();
      mapper_->start(listing.port);
    } else {
      link_.start();
    }
  }
  link_.publish(directoryState(listing));
}

void DirectoryRegistration::register_() {
  if (!waitingForRouter_) return;
  waitingForRouter_ = false;
  mappingWait_.stop();
  link_.start();
}

void DirectoryRegistration::withdraw() {
  waitingForRouter_ = false;
  mappingWait_.stop();
  link_.stop();
  if (mapper_) mapper_->stop();
}

bool DirectoryRegistration::splitAddress(const QString& where, QString& host, quint16& port) {
  port = dir::kRegistrationPort;
  QString text = where.trimmed();
  QString portText;
  if (text.startsWith(QLatin1Char('['))) {
    const qsizetype end = text.indexOf(QLatin1Char(']'));
    if (end < 0) return false;
    host = text.mid(1, end - 1);
    if (text.size() > end + 1) {
      if (text.at(end + 1) != QLatin1Char(':')) return false;
      portText = text.mid(end + 2);
    }
  } else if (text.count(QLatin1Char(':')) == 1) {
    host = text.section(QLatin1Char(':'), 0, 0);
    portText = text.section(QLatin1Char(':'), 1);
  } else {
    host = text;
  }
  if (!portText.isNull()) {
    bool ok = false;
    const uint n = portText.toUInt(&ok);
    if (!ok || n == 0 || n > 65535) return false;
    port = quint16(n);
  }
  return !host.isEmpty();
}

void DirectoryRegistration::open() {
  close();
  socket_ = new QTcpSocket(this);
  QTcpSocket* socket = socket_;
  connect(socket, &QTcpSocket::connected, this, [this, socket] {
    if (socket != socket_) return;
    connectTimer_.stop();
    link_.connected();
  });
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
    while (socket == socket_ && socket->bytesAvailable() > 0) {
      const QByteArray bytes = socket->read(4096);
      link_.received(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    }
  });
  connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
    if (socket != socket_) return;
    const std::string why = socket->errorString().toStdString();
    close();
    link_.dropped(why);
  });
  connectTimer_.start(kConnectMs);
  socket->connectToHost(host_, port_);
}

void DirectoryRegistration::send(const std::string& line) {
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState)
    socket_->write(line.data(), qint64(line.size()));
}

void DirectoryRegistration::close() {
  connectTimer_.stop();
  if (!socket_) return;
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void DirectoryRegistration::codeGiven(const std::string& shownCode) {
  log_("Invite code: " + shownCode);
  emit codeChanged(QString::fromStdString(shownCode));
}

void DirectoryRegistration::reachability(const Reachability& how) {
  Reachability shown = how;
  switch (how.way) {
    case Reachability::Way::Direct:
      log_("Reachable directly: the directory reached the game port");
      break;
    case Reachability::Way::PortMapped:
      log_("Reachable through your router (port opened): the directory reached the port it opened");
      break;
    case Reachability::Way::Unreachable:
      log_("Not reachable from outside: " + how.why + " (the game is not listed; open TCP port " +
           std::to_string(how.gamePort) + " on your router, or play on the local network)");
      break;
    case Reachability::Way::Relayed:
      shown.relay = (host_.contains(QLatin1Char(':')) ? "[" + host_.toStdString() + "]" : host_.toStdString()) + how.relay;
      log_("Reachable through the directory's relay at " + shown.relay +
           " (the invite code and the list point there)");
      break;
  }
  emit reachabilityChanged(shown);
}

void DirectoryRegistration::setPlayerTaker(TakePlayer take) {
  take_ = std::move(take);
  link_.setRelayable(bool(take_));
}

void DirectoryRegistration::openRelay(const std::string& token) {
  if (!take_) return;
  if (opening_ >= kMostOpening) return log_("relay: more than " + std::to_string(kMostOpening) +
                                            " players wait at once; this one is left out");
  ++opening_;
  // This connection is ours, so its first line is believed: the one place a
  // player's address comes from the stream and not from the socket.
  auto* sock = new Sock(this);
  auto head = std::make_shared<QByteArray>();
  auto* timeout = new QTimer(sock);
  // Ends the wait either way, once: the player given to the game, or not.
  const auto finish = [this, sock, timeout] {
    --opening_;
    timeout->stop();
    sock->disconnect(this);
    timeout->disconnect(this);
  };
  const auto give_up = [this, sock, finish](const std::string& why) {
    finish();
    log_("relay: " + why);
    sock->deleteLater();
  };
  connect(sock, &Sock::onConnect, this, [sock, token] {
    const std::string line = dir::joinLine(token);
    sock->send(QByteArray(line.data(), qsizetype(line.size())));
  });
  connect(sock, &Sock::onRead, this, [this, sock, head, finish, give_up](Sock*, qint64) {
    *head += sock->receive();
    const ProxyLine proxy = readProxyLine(std::string_view(head->constData(), std::size_t(head->size())));
    if (proxy.status == ProxyLine::Status::NeedMore) return;
    if (proxy.status == ProxyLine::Status::Bad) return give_up("the directory's first line is no PROXY line: " + proxy.why);
    finish();
    sock->setParent(nullptr);
    take_(sock, proxy.source, head->mid(qsizetype(proxy.length)));
  });
  connect(sock, &Sock::onError, this, [give_up](Sock*, QAbstractSocket::SocketError, const QString& reason) {
    give_up("no connection for a relayed player: " + reason.toStdString());
  });
  connect(sock, &Sock::onDisconnect, this, [give_up](Sock*) { give_up("a relayed player left before he came"); });
  timeout->setSingleShot(true);
  connect(timeout, &QTimer::timeout, this, [give_up] { give_up("a relayed player did not come"); });
  timeout->start(dir::kJoinMs);
  sock->setHostName(host_);
  sock->setPortName(QString::number(port_));
  sock->open();
}

}  // namespace tw
