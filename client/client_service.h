// ClientService binds the client's session core to a Sock and to Qt timers,
// and hosts or joins a game. The main window observes the core through
// ClientView and owns no socket.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/client_session.h"
#include "net/qt_timer.h"
#include "net/sock.h"

namespace tw {

class HostService;

class ClientService : public QObject, private HostedGame {
  Q_OBJECT

 public:
  ClientService(ClientView& view, std::string settingsPath, LogFn log = logLine, QObject* parent = nullptr);
  ~ClientService() override;

  // The host this copy runs for a game it hosts; it may go first.
  void setHost(HostService* host);

  TClient& client() { return *client_; }
  const TClient& client() const { return *client_; }

  // Hosts a game on `port` in this copy and connects to it; a solo game
  // listens on this machine only. Gives false when there is no host or the
  // port cannot be taken.
  bool hostGame(quint16 port, bool solo = false);
  // Joins the game at address:port, and gets back in when the connection drops.
  void joinGame(const QString& address, quint16 port);
  void close() { sock_.close(); }

  // The hosting copy's kept-out players: (address, name), the name in the
  // wire's 8 bits; none for a copy that joins.
  std::vector<std::pair<std::string, std::string>> keptOut() const;
  void letBackIn(const std::string& address);
  // The hosting copy gives up its port, for a copy started in its place.
  void stopListening();

 signals:
  void keptOutChanged();

 private:
  bool gameRunning() const override;
  bool seatConnected(int seat) const override;
  void redial();
  void sockError(QAbstractSocket::SocketError error, const QString& reason);
  // The hosting copy's host plays by this copy's options.
  void applyToHost(const Settings& settings);

  QPointer<HostService> host_;
  Sock sock_;
  QtTimer Timer1_;
  QtTimer phrasetimer_;
  QtTimer turntime_;
  QtTimer rejointimer_;
  std::unique_ptr<TClient> client_;
};

}  // namespace tw
