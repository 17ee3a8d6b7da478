// HostService binds the host's game logic to a listening Sock and to Qt
// timers. The game window runs one in-process; tilewhirl-host runs one alone.
#pragma once

#include <QObject>
#include <array>
#include <memory>

#include "qt_timer.h"
#include "server.h"
#include "sock.h"

namespace tw {

class HostService : public QObject, private HostTransport {
  Q_OBJECT

 public:
  explicit HostService(LogFn log = logLine, QObject* parent = nullptr);
  ~HostService() override;

  // Starts listening; port 0 picks a free port. Gives false (and logs why)
  // when the port cannot be taken.
  bool listen(quint16 port);
  quint16 port() const { return Sock1_.localPort(); }

  TServer& server() { return *server_; }

 private:
  void send(int slot, const std::string& bytes) override;
  void close(int slot) override;
  void take(int slot) override;

  void Sock1Accept();
  void Sock1Read(Sock* sock);
  void tempsockDisconnect(Sock* sock);
  void release(int slot);

  LogFn log_;
  Sock Sock1_;
  std::array<Sock*, TServer::kRefusedSlot + 1> socks_{};  // by slot
  Sock* accepting_ = nullptr;
  QtTimer socktimer_;
  QtTimer timer1_;
  QtTimer computertimer_;
  std::unique_ptr<TServer> server_;
};

}  // namespace tw
