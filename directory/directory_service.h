// The directory program's sockets: host registrations and reachability checks
// on the Qt event loop around the plain Registry, and the HTTP look-ups on a
// thread of their own (cpp-httplib blocks in its accept loop), which share
// only the Storage (locked) with the event loop.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <thread>

#include "registry.h"
#include "relay.h"

class QTcpServer;
class QTcpSocket;

namespace httplib {
class Server;
}

namespace tw::dir {

std::int64_t wallClockMs();

class DirectoryService final : public QObject, private RegistryOutput {
  Q_OBJECT

 public:
  // How long a reachability check may take.
  static constexpr int kProbeMs = 5000;
  // A host that reads nothing we send is dropped once this much waits for it.
  static constexpr qint64 kMaxUnsent = 64 * 1024;

  DirectoryService(Storage& storage, Limits limits, QObject* parent = nullptr);
  ~DirectoryService() override;

  // Port 0 picks a free one. False (and a log line) when it cannot be taken.
  bool listen(quint16 port);
  quint16 port() const;
  // The address players are told for a relayed game; empty (the default):
  // the one its host registered at.
  void setRelayAddress(const std::string& address) { relayAddress_ = address; }
  const Relay& relay() const { return relay_; }

 private:
  void send(int connection, const std::string& line) override;
  void close(int connection) override;
  void probe(int connection, const std::string& address, int port, const std::string& nonce) override;
  std::optional<std::string> relay(int connection, int port) override;
  void unrelay(int connection) override { relay_.close(connection); }
  void joined(int connection, const std::string& token, std::string_view rest) override;
  void accepted();

  QTcpServer* server_;
  Registry registry_;
  std::map<int, QPointer<QTcpSocket>> sockets_;
  int next_ = 1;
  QTimer tick_;
  Relay relay_;
  std::string relayAddress_;
};

// GET /games.json, GET /invite/CODE, GET /: the public list (made again at most
// once a second, so that a flood of list requests costs one listing a second)
// and the invite look-ups.
class LookupServer {
 public:
  LookupServer(Storage& storage, Limits limits, int registrationPort, int listRefreshMs = 1000);
  ~LookupServer();

  // Binds `host`:`port` (0: a free port) and serves on its own thread.
  bool start(const std::string& host, int port, std::string& error);
  int port() const { return port_; }
  void stop();

 private:
  struct Pages {
    std::int64_t madeMs = -1;
    std::shared_ptr<const std::string> json;
    std::shared_ptr<const std::string> html;
  };
  Pages pages(std::int64_t nowMs);

  Lookups lookups_;
  Storage& storage_;
  int registrationPort_;
  int listRefreshMs_;
  std::unique_ptr<httplib::Server> http_;
  std::thread thread_;
  int port_ = 0;
  std::mutex pagesMutex_;
  Pages pages_;
};

}  // namespace tw::dir
