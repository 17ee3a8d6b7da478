// The directory's relay: a port of its own for each game that players cannot
// reach directly. Each player who connects there is paired with a connection
// that the game's host opens to the directory when asked (OPEN, JOIN in
// directory_protocol.h), and the bytes are copied both ways within bounds: a
// side is not read while its peer has kBound bytes unsent, and a game's bytes
// a second are capped, so a stalled reader costs the directory nothing more.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class QHostAddress;
class QTcpServer;
class QTcpSocket;

namespace tw::dir {

// The address as people write it: an IPv4 peer of a dual-stack socket without its ::ffff: prefix.
std::string plainAddress(const QHostAddress& address);

class Relay final : public QObject {
  Q_OBJECT

 public:
  // Bytes that wait for one side before the other is no longer read; also
  // the most read from a side at a time.
  static constexpr qint64 kBound = 8 * 1024;
  // Players waiting for their host's connection, and pairs, of one game.
  static constexpr int kWaitingPerGame = 8;
  static constexpr int kPairsPerGame = 16;

  using Ask = std::function<void(int connection, const std::string& line)>;
  using Random = std::function<std::uint64_t()>;
  // `ask` sends a line to a game's host over its registration connection;
  // `bytesPerSecond` 0 is no cap.
  Relay(int bytesPerSecond, Ask ask, Random random, QObject* parent = nullptr);
  ~Relay() override;

  // Listens on `port` for the players of the game of `connection`.
  bool open(int connection, quint16 port);
  // The game left: its port closes, its players are cut off.
  void close(int connection);
  // A host's connection said JOIN `token`; `rest` came after its line. The
  // relay owns the socket from now on.
  void joined(QTcpSocket* host, const std::string& token, const QByteArray& rest);

  std::size_t games() const { return games_.size(); }
  std::size_t pairs() const;
  // Bytes the relay holds for its pairs, received and not yet taken, or not yet sent.
  qint64 buffered() const;

 private:
  struct Game;
  struct Pair;
  void arrived(Game& game);
  void pump(Pair& pair, QTcpSocket* from, QTcpSocket* to);
  void pumpAll(Game& game);
  void end(Pair* pair);
  qint64 allow(Game& game, qint64 want);

  int bytesPerSecond_;
  Ask ask_;
  Random random_;
  std::map<int, std::unique_ptr<Game>> games_;
  std::map<std::string, int> tokens_;  // waiting player's token to his game's connection
};

}  // namespace tw::dir
