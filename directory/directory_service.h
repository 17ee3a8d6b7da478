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

#include "directory/registry.h"
#include "directory/relay.h"

class QTcpServer;
class QTcpSocket;

namespace httplib {
class Server;
}

namespace tw::dir {

struct MadePage;
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

// GET /games.json, GET /invite/CODE, GET /: the public list and the invite
// look-ups. The list's bodies are made again at most every listRefreshMs, by
// one request while the others are served the last ones, and gzipped then,
// once; a client that shows the list's ETag back gets 304 while nothing in it
// changed. Connections from one address at a time are capped.
class LookupServer {
 public:
  // The list is read from `listStorage` when given: with Redis, a connection
  // of its own, so that invite look-ups do not wait behind the whole list.
  LookupServer(Storage& storage, Limits limits, int registrationPort, int listRefreshMs = 1000,
               Storage* listStorage = nullptr);
  ~LookupServer();

  // Binds `host`:`port` (0: a free port) and serves on its own threads.
  bool start(const std::string& host, int port, std::string& error);
  int port() const { return port_; }
  void stop();

 private:
  struct Pages {
    std::int64_t madeMs = -1;
    std::shared_ptr<const MadePage> json;
    std::shared_ptr<const MadePage> html;
  };
  Pages pages(std::int64_t nowMs);

  Lookups lookups_;
  Lookups listing_;
  Storage& storage_;
  int registrationPort_;
  int listRefreshMs_;
  std::unique_ptr<httplib::Server> http_;
  std::thread thread_;
  int port_ = 0;
  std::mutex pagesMutex_;    // guards pages_, held only to copy it
  std::mutex rebuildMutex_;  // one request makes the pages again, the others serve the last ones
  Pages pages_;
};

}  // namespace tw::dir
