// The host's directory registration on Qt sockets and timers.
#include "directory_registration.h"

#include <QHostAddress>

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
    gamePort_ = listing.port;
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

void DirectoryRegistration::reachability(Reachability how, const std::string& why) {
  switch (how) {
    case Reachability::Direct:
      log_("Reachable directly: the directory reached the game port");
      break;
    case Reachability::PortMapped:
      log_("Reachable through your router (port opened): the directory reached the port it opened");
      break;
    case Reachability::Relayed:
      log_("Reachable through the directory's relay");
      break;
    case Reachability::Unreachable:
      log_("Not reachable from outside: " + why + " (the game is not listed; open TCP port " +
           std::to_string(gamePort_) + " on your router, or play on the local network)");
      break;
  }
  emit reachabilityChanged(how, gamePort_, QString::fromStdString(why));
}

}  // namespace tw
