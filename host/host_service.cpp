// The Qt side of the host: accepted sockets in, the host's sends and closes out.
#include "host/host_service.h"

#include <QHostAddress>
#include <QSysInfo>
#include <algorithm>
#include <cmath>

namespace tw {

namespace {
// A dual-stack listener sees IPv4 peers as "::ffff:a.b.c.d"; the log and the
// host's list of kept-out addresses show the form people know.
std::string peerOf(const Sock& sock) {
  const QHostAddress address(sock.peerAddress());
  bool v4 = false;
  const quint32 ip = address.toIPv4Address(&v4);
  return (v4 ? QHostAddress(ip) : address).toString().toStdString();
}
}  // namespace

void ScaledTimer::start(int intervalMs) {
  interval_ = intervalMs;
  timer_.start(std::max(1, int(std::lround(intervalMs / scale_))));
}

HostService::HostService(LogFn log, QObject* parent) : HostService(HostRules{}, std::move(log), parent) {}

HostService::HostService(HostRules rules, LogFn log, QObject* parent)
    : QObject(parent),
      log_(log ? std::move(log) : LogFn(logLine)),
      socktimer_([this] { server_->socktimerTimer(); }),
      timer1_([this] { server_->timer1Timer(); }, timeScale_),
      computertimer_([this] { server_->computertimerTimer(); }, timeScale_),
      logintimer_([this] { server_->logintimerTimer(); }),
      bantimer_([this] { server_->bantimerTimer(); }),
      ratetimer_([this] { server_->ratetimerTimer(); }),
      server_(std::make_unique<TServer>(
          static_cast<HostTransport&>(*this),
          HostTimers{socktimer_, timer1_, computertimer_, logintimer_, bantimer_, ratetimer_}, log_,
          std::move(rules))) {
  connect(&Sock1_, &Sock::onAccept, this, [this] { Sock1Accept(); });
  server_->setBansChanged([this] { emit bansChanged(); });
  listingTimer_.setSingleShot(true);
  listingTimer_.setInterval(kListingDelayMs);
  connect(&listingTimer_, &QTimer::timeout, this, [this] { publishListing(); });
  server_->setTableChanged([this] {
    if (Sock1_.listening() && !listingTimer_.isActive()) listingTimer_.start();
  });
}

HostService::~HostService() {
  // The players hear why their game ends before their connections close.
  server_->endSession();
  for (ListingSink* sink : sinks_) sink->withdraw();
  for (Sock*& sock : socks_) {
    delete sock;
    sock = nullptr;
  }
}

bool HostService::listen(quint16 port, bool thisMachineOnly) {
  return listen(port, thisMachineOnly ? QStringLiteral("127.0.0.1") : QString());
}

bool HostService::listen(quint16 port, const QString& address) {
  Sock1_.setHostName(address);
  Sock1_.setPortName(QString::number(port));
  QString why;
  auto conn = connect(&Sock1_, &Sock::onError, this,
                      [&why](Sock*, QAbstractSocket::SocketError, const QString& reason) { why = reason; });
  const bool ok = Sock1_.setListen(true);
  disconnect(conn);
  if (ok) {
    log_("listening on port " + std::to_string(Sock1_.localPort()));
    published_.reset();
    publishListing();
  } else
    log_("cannot listen on port " + std::to_string(port) + ": " + why.toStdString());
  return ok;
}

void HostService::stopListening() {
  Sock1_.setListen(false);
  listingTimer_.stop();
  if (published_)
    for (ListingSink* sink : sinks_) sink->withdraw();
  published_.reset();
}

void HostService::addListingSink(ListingSink* sink) {
  if (!sink || std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end()) return;
  sinks_.push_back(sink);
  if (published_) sink->publish(*published_);
}

void HostService::removeListingSink(ListingSink* sink) { std::erase(sinks_, sink); }

void HostService::setTitle(std::string title) {
  title_ = std::move(title);
  if (Sock1_.listening() && !listingTimer_.isActive()) listingTimer_.start();
}

GameListing HostService::listing() const {
  const TableSummary table = server_->table();
  GameListing l;
  l.title = !title_.empty() ? title_ : !table.hostName.empty() ? table.hostName : QSysInfo::machineHostName().toStdString();
  l.port = port();
  l.seatsTaken = table.seatsTaken;
  l.watchers = table.watchers;
  l.playing = table.playing;
  if (table.computer) l.computerLevel = std::string(levelName(*table.computer));
  return l;
}

void HostService::publishListing() {
  if (!Sock1_.listening()) return;
  GameListing now = listing();
  if (published_ && *published_ == now) return;
  published_ = std::move(now);
  for (ListingSink* sink : sinks_) sink->publish(*published_);
}

void HostService::Sock1Accept() {
  while (Sock* sock = Sock1_.accept()) admit(sock, peerOf(*sock));
}

int HostService::admit(Sock* sock, const std::string& address) {
  accepting_ = sock;
  const int slot = server_->Sock1Accept(address);
  accepting_ = nullptr;
  if (slot == TServer::kRefusedSlot) return slot;  // already closed and released
  connect(sock, &Sock::onRead, this, [this](Sock* s, qint64) { Sock1Read(s); });
  connect(sock, &Sock::onDisconnect, this, [this](Sock* s) { tempsockDisconnect(s); });
  return slot;
}

void HostService::takeConnection(Sock* sock, const std::string& address, const QByteArray& first) {
  sock->setParent(this);
  log_("a player comes through the directory's relay from " + address);
  const int slot = admit(sock, address);
  if (slot != TServer::kRefusedSlot && !first.isEmpty() && socks_[slot] == sock)
    server_->Sock1Read(slot, std::string_view(first.constData(), std::size_t(first.size())));
}

void HostService::take(int slot) {
  if (!accepting_) return;
  accepting_->tag = slot;
  socks_[slot] = accepting_;
}

void HostService::move(int from, int to) {
  Sock* sock = socks_[from];
  socks_[from] = nullptr;
  socks_[to] = sock;
  if (sock) sock->tag = to;
}

void HostService::Sock1Read(Sock* sock) {
  const QByteArray bytes = sock->receive();
  if (socks_[sock->tag] != sock) return;
  server_->Sock1Read(sock->tag, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

void HostService::tempsockDisconnect(Sock* sock) {
  const int slot = sock->tag;
  if (socks_[slot] != sock) return;
  socks_[slot] = nullptr;
  sock->deleteLater();
  server_->tempsockInfo(slot);
}

void HostService::send(int slot, const std::string& bytes) {
  if (Sock* sock = socks_[slot]) sock->send(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

std::size_t HostService::unsent(int slot) const {
  const Sock* sock = socks_[slot];
  return sock ? std::size_t(sock->unsentBytes()) : 0;
}

void HostService::close(int slot) { release(slot); }

void HostService::release(int slot) {
  Sock* sock = socks_[slot];
  if (!sock) return;
  socks_[slot] = nullptr;
  sock->disconnect(this);
  sock->close();
  sock->deleteLater();
}

}  // namespace tw
