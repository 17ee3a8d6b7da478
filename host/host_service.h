// HostService binds the host's game logic to a listening Sock and to Qt
// timers. The game window runs one in-process; tilewhirl-host runs one alone.
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "discovery/game_listing.h"

#include "host/server.h"
#include "net/qt_timer.h"
#include "net/sock.h"

namespace tw {

// A game-paced timer that runs faster by the service's time scale (tests and
// demos play whole games over real sockets in seconds).
class ScaledTimer final : public Timer {
 public:
  ScaledTimer(std::function<void()> onTick, const double& scale) : timer_(std::move(onTick)), scale_(scale) {}
  void start(int intervalMs) override;
  void stop() override { timer_.stop(); }
  bool running() const override { return timer_.running(); }
  int interval() const override { return interval_; }

 private:
  QtTimer timer_;
  const double& scale_;
  int interval_ = 0;
};

class HostService : public QObject, private HostTransport {
  Q_OBJECT

 public:
  explicit HostService(LogFn log = logLine, QObject* parent = nullptr);
  HostService(HostRules rules, LogFn log, QObject* parent = nullptr);
  ~HostService() override;

  // Runs the turn clock and the computer player `scale` times faster; the
  // message pump keeps its pace.
  void setTimeScale(double scale) { timeScale_ = scale > 0 ? scale : 1.0; }

  // Starts listening; port 0 picks a free port. `thisMachineOnly` listens on
  // the loopback address alone, out of the network's reach. Gives false (and
  // logs why) when the port cannot be taken.
  bool listen(quint16 port, bool thisMachineOnly = false);
  // Listens on `address` alone (empty: every address) instead.
  bool listen(quint16 port, const QString& address);
  // Lets the port go at once; the seats already connected stay.
  void stopListening();
  quint16 port() const { return Sock1_.localPort(); }
  QString address() const { return Sock1_.localAddress(); }

  // The sinks hear the game's listing while the host listens: at once, then
  // whenever it changes (a burst of changes once, within kListingDelayMs),
  // and a withdrawal when it stops. The service does not own them; a sink
  // removes itself before it goes.
  void addListingSink(ListingSink* sink);
  void removeListingSink(ListingSink* sink);
  // The game's title in listings; empty, seat 1's player names it.
  void setTitle(std::string title);
  GameListing listing() const;
  static constexpr int kListingDelayMs = 300;

  TServer& server() { return *server_; }

  // A player's connection that did not come through the listening port (the
  // directory's relay, on a connection this host opened): taken as if accepted
  // from `address`, which the host then goes by for limits, bans and held
  // seats, with `first` as the first bytes he sent. The service owns `sock`.
  void takeConnection(Sock* sock, const std::string& address, const QByteArray& first = {});

 signals:
  // A removed player's address was kept out, let back in, or its time ran out.
  void bansChanged();

 private:
  void send(int slot, const std::string& bytes) override;
  void close(int slot) override;
  void take(int slot) override;
  void move(int from, int to) override;
  std::size_t unsent(int slot) const override;

  void Sock1Accept();
  int admit(Sock* sock, const std::string& address);
  void Sock1Read(Sock* sock);
  void tempsockDisconnect(Sock* sock);
  void release(int slot);
  void publishListing();

  LogFn log_;
  Sock Sock1_;
  std::array<Sock*, TServer::kLastSlot + 1> socks_{};  // by slot
  Sock* accepting_ = nullptr;
  double timeScale_ = 1.0;
  QtTimer socktimer_;
  ScaledTimer timer1_;
  ScaledTimer computertimer_;
  QtTimer logintimer_;
  QtTimer bantimer_;
  QtTimer ratetimer_;
  std::unique_ptr<TServer> server_;
  std::string title_;
  std::vector<ListingSink*> sinks_;
  QTimer listingTimer_;
  std::optional<GameListing> published_;
};

}  // namespace tw
