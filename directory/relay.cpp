// The directory's relay on Qt sockets.
#include "directory/relay.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cmath>

#include "directory/directory_protocol.h"
#include "net/proxy_line.h"

namespace tw::dir {

std::string plainAddress(const QHostAddress& address) {
  bool v4 = false;
  const quint32 ip = address.toIPv4Address(&v4);
  return (v4 ? QHostAddress(ip) : address).toString().toStdString();
}

struct Relay::Game {
  int connection = 0;
  QTcpServer* server = nullptr;
  std::map<std::string, QPointer<QTcpSocket>> waiting;  // by token
  std::set<Pair*> pairs;
  // The cap on bytes a second: a bucket that holds a second's worth.
  double budget = 0;
  qint64 filledMs = 0;
  QElapsedTimer clock;
  QTimer resume;
};

struct Relay::Pair {
  Game* game;
  QTcpSocket* player;
  QTcpSocket* host;
};

namespace {

// Closes after what is queued has gone, or after a while for a peer that reads nothing.
void letGo(QTcpSocket* socket) {
  socket->setParent(nullptr);
  QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) {
    socket->deleteLater();
  } else {
    QTimer::singleShot(5000, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
  }
}

void drop(QTcpSocket* socket) {
  socket->abort();
  socket->deleteLater();
}

}  // namespace

Relay::Relay(int bytesPerSecond, Ask ask, Random random, QObject* parent)
    : QObject(parent), bytesPerSecond_(bytesPerSecond), ask_(std::move(ask)), random_(std::move(random)) {}

Relay::~Relay() {
  while (!games_.empty()) close(games_.begin()->first);
}

std::size_t Relay::pairs() const {
  std::size_t n = 0;
  for (const auto& [id, game] : games_) n += game->pairs.size();
  return n;
}

qint64 Relay::buffered() const {
  qint64 n = 0;
  for (const auto& [id, game] : games_)
    for (const Pair* pair : game->pairs)
      for (const QTcpSocket* side : {pair->player, pair->host}) n += side->bytesAvailable() + side->bytesToWrite();
  return n;
}

bool Relay::open(int connection, quint16 port) {
  if (games_.count(connection)) return false;
  auto game = std::make_unique<Game>();
  game->connection = connection;
  game->server = new QTcpServer(this);
  if (!game->server->listen(QHostAddress::Any, port)) {
    delete game->server;
    return false;
  }
  game->budget = bytesPerSecond_;
  game->clock.start();
  game->resume.setSingleShot(true);
  Game* g = game.get();
  connect(&g->resume, &QTimer::timeout, this, [this, g] { pumpAll(*g); });
  connect(g->server, &QTcpServer::newConnection, this, [this, g] { arrived(*g); });
  games_[connection] = std::move(game);
  return true;
}

void Relay::close(int connection) {
  auto it = games_.find(connection);
  if (it == games_.end()) return;
  const std::unique_ptr<Game> game = std::move(it->second);
  games_.erase(it);
  delete game->server;
  for (auto& [token, player] : game->waiting) {
    tokens_.erase(token);
    if (!player) continue;
    player->disconnect(this);
    drop(player);
  }
  for (Pair* pair : std::set<Pair*>(game->pairs)) end(pair);
}

void Relay::arrived(Game& game) {
  while (QTcpSocket* player = game.server->nextPendingConnection()) {
    player->setParent(this);
    if (int(game.waiting.size()) >= kWaitingPerGame || int(game.pairs.size()) >= kPairsPerGame) {
      drop(player);
      continue;
    }
    player->setReadBufferSize(kBound);
    std::string token;
    while (token.size() < kTokenLength) {
      std::uint64_t word = random_();
      for (int i = 0; i < 16; ++i, word >>= 4) token += "0123456789abcdef"[word & 15];
    }
    game.waiting[token] = player;
    tokens_[token] = game.connection;
    // A player who leaves, or whose host does not come, is forgotten.
    const auto forget = [this, token] {
      auto t = tokens_.find(token);
      if (t == tokens_.end()) return;
      Game& g = *games_.at(t->second);
      tokens_.erase(t);
      const QPointer<QTcpSocket> socket = g.waiting[token];
      g.waiting.erase(token);
      if (!socket) return;
      socket->disconnect(this);
      drop(socket);
    };
    connect(player, &QTcpSocket::disconnected, this, forget);
    QTimer::singleShot(kJoinMs, player, forget);
    ask_(game.connection, openLine(token));
  }
}

void Relay::joined(QTcpSocket* host, const std::string& token, const QByteArray& rest) {
  host->setParent(this);
  auto t = tokens_.find(token);
  if (t == tokens_.end()) return drop(host);
  Game& game = *games_.at(t->second);
  tokens_.erase(t);
  const QPointer<QTcpSocket> player = game.waiting[token];
  game.waiting.erase(token);
  if (!player) return drop(host);
  player->disconnect(this);
  if (player->state() != QAbstractSocket::ConnectedState) {
    drop(player);
    return drop(host);
  }
  auto* pair = new Pair{&game, player, host};
  game.pairs.insert(pair);
  host->setReadBufferSize(kBound);
  const std::string line = proxyLine(plainAddress(player->peerAddress()), player->peerPort(),
                                     plainAddress(player->localAddress()), player->localPort());
  host->write(line.data(), qint64(line.size()));
  player->write(rest);
  for (QTcpSocket* side : {pair->player, pair->host}) {
    QTcpSocket* other = side == pair->player ? pair->host : pair->player;
    connect(side, &QTcpSocket::readyRead, this, [this, pair, side, other] { pump(*pair, side, other); });
    // Room again on this side: the other is read again.
    connect(side, &QTcpSocket::bytesWritten, this, [this, pair, side, other] { pump(*pair, other, side); });
    connect(side, &QTcpSocket::disconnected, this, [this, pair] { end(pair); });
    connect(side, &QTcpSocket::errorOccurred, this, [this, pair] { end(pair); });
  }
  pump(*pair, player, host);
}

qint64 Relay::allow(Game& game, qint64 want) {
  if (bytesPerSecond_ <= 0) return want;
  const qint64 now = game.clock.elapsed();
  game.budget = std::min<double>(bytesPerSecond_, game.budget + double(now - game.filledMs) * bytesPerSecond_ / 1000);
  game.filledMs = now;
  const qint64 n = std::min<qint64>(want, qint64(game.budget));
  if (n > 0) {
    game.budget -= double(n);
    return n;
  }
  // Back when a useful amount has come in again.
  if (!game.resume.isActive()) {
    const double wanted = double(std::min<qint64>(want, 1024)) - game.budget;
    game.resume.start(std::clamp(int(std::ceil(wanted * 1000 / bytesPerSecond_)), 1, 1000));
  }
  return 0;
}

void Relay::pump(Pair& pair, QTcpSocket* from, QTcpSocket* to) {
  while (from->bytesAvailable() > 0) {
    const qint64 room = kBound - to->bytesToWrite();
    if (room <= 0) return;
    const qint64 n = allow(*pair.game, std::min({from->bytesAvailable(), room, kBound}));
    if (n <= 0) return;
    to->write(from->read(n));
    // To the system now, not at the event loop's next turn: a game waits on every message.
    to->flush();
  }
}

void Relay::pumpAll(Game& game) {
  for (Pair* pair : std::set<Pair*>(game.pairs)) {
    pump(*pair, pair->player, pair->host);
    pump(*pair, pair->host, pair->player);
  }
}

void Relay::end(Pair* pair) {
  if (!pair->game->pairs.erase(pair)) return;
  pair->player->disconnect(this);
  pair->host->disconnect(this);
  // The last words, a kick's reason say, still reach the other side.
  for (QTcpSocket* side : {pair->player, pair->host}) {
    QTcpSocket* other = side == pair->player ? pair->host : pair->player;
    if (other->state() == QAbstractSocket::ConnectedState && side->bytesAvailable() > 0) other->write(side->readAll());
  }
  letGo(pair->player);
  letGo(pair->host);
  delete pair;
}

}  // namespace tw::dir
