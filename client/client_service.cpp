// The client's Qt side: the socket's events in, the core's sends out.
#include "client/client_service.h"

#include <QSignalBlocker>

#include "client/cp1252.h"
#include "host/host_service.h"

namespace tw {

ClientService::ClientService(ClientView& view, std::string settingsPath, LogFn log, QObject* parent)
    : QObject(parent),
      Timer1_([this] { client_->Timer1Timer(); }),
      phrasetimer_([this] { client_->phrasetimerTimer(); }),
      turntime_([this] { client_->game().turntimeTimer(); }),
      rejointimer_([this] { client_->rejointimerTimer(); }) {
  client_ = std::make_unique<TClient>(
      view, ClientTimers{Timer1_, phrasetimer_, turntime_},
      [this](const std::string& b) { sock_.send(QByteArray(b.data(), qsizetype(b.size()))); },
      std::move(settingsPath), std::move(log));
  client_->onSettingsChanged([this](const Settings& s) { applyToHost(s); });

  sock_.setObjectName(QStringLiteral("sock"));
  connect(&sock_, &Sock::onConnect, this, [this] { client_->sockConnected(); });
  connect(&sock_, &Sock::onRead, this, [this](Sock*, qint64) {
    const QByteArray b = sock_.receive();
    client_->sockRead(std::string_view(b.constData(), std::size_t(b.size())));
  });
  connect(&sock_, &Sock::onClose, this, [this] { client_->sockClosed(); });
  connect(&sock_, &Sock::onError, this,
          [this](Sock*, QAbstractSocket::SocketError error, const QString& reason) { sockError(error, reason); });
}

ClientService::~ClientService() {
  // The core calls back into the view; it goes before the socket can speak.
  sock_.disconnect(this);
  client_.reset();
}

void ClientService::setHost(HostService* host) {
  if (host_) host_->disconnect(this);
  host_ = host;
  client_->setHostedGame(host_ ? this : nullptr);
  if (host_) connect(host_, &HostService::bansChanged, this, &ClientService::keptOutChanged);
}

bool ClientService::gameRunning() const { return host_ && host_->server().gameRunning(); }

bool ClientService::seatConnected(int seat) const { return host_ && host_->server().seat(seat).connected; }

std::vector<std::pair<std::string, std::string>> ClientService::keptOut() const {
  std::vector<std::pair<std::string, std::string>> out;
  if (!host_) return out;
  for (const AddressGate::Ban& ban : host_->server().bans()) out.emplace_back(ban.address, ban.name);
  return out;
}

void ClientService::letBackIn(const std::string& address) {
  if (host_) host_->server().letBackIn(address);
}

void ClientService::stopListening() {
  if (host_) host_->stopListening();
}

bool ClientService::hostGame(quint16 port, bool solo) {
  if (!host_ || !host_->listen(port, solo)) return false;
  client_->setHosting(true);
  sock_.setHostName(QStringLiteral("127.0.0.1"));
  sock_.setPortName(QString::number(host_->port()));
  sock_.open();
  applyToHost(client_->settings());
  return true;
}

// The host's rights come with seat 1 at login, wherever the host runs.
void ClientService::joinGame(const QString& address, quint16 port) {
  client_->enableRejoin(rejointimer_, [this] { redial(); });
  sock_.setHostName(address);
  sock_.setPortName(QString::number(port));
  sock_.open();
}

void ClientService::redial() {
  // An attempt that has not got through by now makes way for a fresh one.
  {
    const QSignalBlocker quiet(&sock_);
    sock_.close();
  }
  sock_.open();
}

void ClientService::sockError(QAbstractSocket::SocketError error, const QString& reason) {
  if (sock_.connected()) return;
  if (client_->rejoining()) return;  // the next try follows
  const std::string host = toCp1252(sock_.hostName());
  if (error == QAbstractSocket::HostNotFoundError)
    client_->hostNotFound(host);
  else
    client_->connectFailed(host, sock_.portName().toInt(), toCp1252(reason));
}

void ClientService::applyToHost(const Settings& s) {
  if (!host_ || !client_->hosting()) return;
  host_->server().setBotSpeed(s.botSpeed);
  host_->server().setComputerLevel(ComputerLevel(s.computerLevel));
  host_->server().setOpenBoard(s.openBoard);
}

}  // namespace tw
